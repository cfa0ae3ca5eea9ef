#include "support/test_support.hpp"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

namespace vorn::test {

namespace fs = std::filesystem;

fs::path scratch_dir(std::string_view name) {
    fs::path dir = fs::current_path() / "scratch" / std::string(name);
    fs::remove_all(dir);
    fs::create_directories(dir);
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

RunResult run_command(const fs::path& dir, const std::string& command) {
    fs::path out = dir / ".stdout";
    fs::path err = dir / ".stderr";
    std::string line = "cd '" + dir.string() + "' && { " + command + " ; } < /dev/null > '" + out.string() +
                       "' 2> '" + err.string() + "'";
    int status = std::system(line.c_str());
    RunResult result;
    // The shell reports a child killed by a signal as exit status 128 + signal.
    if (WIFEXITED(status)) {
        int code = WEXITSTATUS(status);
        if (code > 128 && code < 128 + 65) result.signal = code - 128;
        else result.exit_status = code;
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    result.out = read_file(out);
    result.err = read_file(err);
    fs::remove(out);
    fs::remove(err);
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

RunResult run_program(const fs::path& dir) { return run_command(dir, std::string("'") + VORN_PROGRAM + "'"); }

}  // namespace vorn::test
