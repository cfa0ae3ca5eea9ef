#include "support/test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorn::test {

namespace fs = std::filesystem;

namespace {

// The scratch folders of the running test, removed when it ends without a
// failure; a failed test's stay there for a look.
class ScratchCleaner : public ::testing::EmptyTestEventListener {
public:
    void OnTestEnd(const ::testing::TestInfo& test) override {
        std::error_code ignored;
        if (!test.result()->Failed())
            for (const fs::path& dir : made) fs::remove_all(dir, ignored);
        made.clear();
    }
    std::vector<fs::path> made;
};

ScratchCleaner& scratch_cleaner() {
    static ScratchCleaner* cleaner = [] {
        auto* added = new ScratchCleaner;
        ::testing::UnitTest::GetInstance()->listeners().Append(added);
        return added;
    }();
    return *cleaner;
}

// What a child wrote to `fd`, which is then closed.
std::string written_to(int fd) {
    std::string text;
    char block[65536];
    lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = read(fd, block, sizeof block)) > 0;) text.append(block, static_cast<std::size_t>(n));
    close(fd);
    return text;
}

}  // namespace

fs::path scratch_dir(std::string_view name) {
    // One level: the '/' of a parameterized test's name becomes '.'.
    std::string folder(name);
    std::replace(folder.begin(), folder.end(), '/', '.');
    fs::path dir = fs::path(VORN_BINARY_DIR) / "tests" / "scratch" / folder;
    fs::remove_all(dir);
    fs::create_directories(dir);
    scratch_cleaner().made.push_back(dir);
    return dir;
}

void write_file(const fs::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string example_config() { return read_file(fs::path(VORN_SOURCE_DIR) / "examples" / "master_nml"); }

std::vector<std::string> split_lines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::string report_tag(int section) {
    std::string digits = std::to_string(section);
    return "FD" + std::string(digits.size() < 5 ? 5 - digits.size() : 0, '0') + digits + "%  ";
}

RunResult run_command(const fs::path& dir, const std::vector<std::string>& argv,
                      const std::function<void()>& prepare) {
    std::vector<char*> arguments;
    for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    const int out = memfd_create("stdout", MFD_CLOEXEC);
    const int err = memfd_create("stderr", MFD_CLOEXEC);
    if (out < 0 || err < 0) throw std::runtime_error("no memory file for the output of " + argv.at(0));
    const pid_t child = fork();
    if (child == 0) {
        const int none = open("/dev/null", O_RDONLY);
        if (chdir(dir.c_str()) != 0 || dup2(none, STDIN_FILENO) < 0 || dup2(out, STDOUT_FILENO) < 0 ||
            dup2(err, STDERR_FILENO) < 0)
            _exit(126);
        if (none > STDERR_FILENO) close(none);
        if (prepare) prepare();
        execv(arguments[0], arguments.data());
        _exit(127);
    }
    int status = 0;
    while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    RunResult result;
    if (child > 0 && WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
    if (child > 0 && WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    result.out = written_to(out);
    result.err = written_to(err);
    return result;
}

long long staged_file_size(pid_t pid, const fs::path& dir) {
    const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
    std::error_code gone;
    for (fs::directory_iterator entry(fds, gone), end; !gone && entry != end; entry.increment(gone)) {
        // A file with no name shows as "<dir>/#<inode> (deleted)".
        const std::string held = fs::read_symlink(entry->path(), gone).string();
        const std::string prefix = dir.string() + "/";
        if (gone || !held.starts_with(prefix) || (held[prefix.size()] != '.' && held[prefix.size()] != '#')) continue;
        const std::uintmax_t size = fs::file_size(entry->path(), gone);
        if (!gone) return static_cast<long long>(size);
    }
    return -1;
}

RunResult run_program(const fs::path& dir) { return run_command(dir, {VORN_PROGRAM}); }

}  // namespace vorn::test
