#include "support/test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorn::test {

namespace fs = std::filesystem;

namespace {

// The scratch folders of the running test, removed when it ends without a
// failure; a failed test's stay there for a look.
std::vector<fs::path>& scratch_of_this_test() {
    struct Cleaner : ::testing::EmptyTestEventListener {
        std::vector<fs::path> made;
        void OnTestEnd(const ::testing::TestInfo& test) override {
            std::error_code ignored;
            for (const fs::path& dir : made)
                if (!test.result()->Failed()) fs::remove_all(dir, ignored);
            made.clear();
        }
    };
    static Cleaner* const cleaner = [] {
        auto* added = new Cleaner;
        ::testing::UnitTest::GetInstance()->listeners().Append(added);
        return added;
    }();
    return cleaner->made;
}

}  // namespace

fs::path scratch_dir(std::string_view name) {
    // One level: the '/' of a parameterized test's name becomes '.'.
    std::string folder(name);
    std::replace(folder.begin(), folder.end(), '/', '.');
    fs::path dir = fs::path(VORN_BINARY_DIR) / "tests" / "scratch" / folder;
    fs::remove_all(dir);
    fs::create_directories(dir);
    scratch_of_this_test().push_back(dir);
    return dir;
}

void write_file(const fs::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::string> names_in(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
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

pid_t start_in(const fs::path& dir, int out, int err, const std::function<void()>& work) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const rlimit no_core{0, 0};
        const int none = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (chdir(dir.c_str()) != 0 || setrlimit(RLIMIT_CORE, &no_core) != 0 || dup2(none, STDIN_FILENO) < 0 ||
            dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0)
            _exit(126);
        work();
        _exit(127);
    }
    return child;
}

RunResult run_in(const fs::path& dir, const std::function<void()>& work) {
    const int out = memfd_create("stdout", MFD_CLOEXEC);
    const int err = memfd_create("stderr", MFD_CLOEXEC);
    if (out < 0 || err < 0) throw std::runtime_error("no memory file for a child's output");
    const pid_t child = start_in(dir, out, err, work);
    int status = 0;
    if (child > 0) waitpid(child, &status, 0);
    RunResult result;
    if (child > 0 && WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
    if (child > 0 && WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    result.out = read_file("/proc/self/fd/" + std::to_string(out));
    result.err = read_file("/proc/self/fd/" + std::to_string(err));
    close(out);
    close(err);
    return result;
}

RunResult run_command(const fs::path& dir, const std::vector<std::string>& argv,
                      const std::function<void()>& prepare) {
    std::vector<char*> arguments;
    for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    return run_in(dir, [&] {
        if (prepare) prepare();
        execv(arguments[0], arguments.data());
    });
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
