// Helpers for tests that run the built program in a scratch folder.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace vorn::test {

struct RunResult {
    int exit_status = -1;  // exit status when the process exited
    int signal = 0;        // the signal that ended it, 0 when it exited
    std::string out;       // standard output
    std::string err;       // standard error
};

// A new empty folder under the build tree's scratch area, named after the
// test; removed with what it holds once the test ends without a failure.
std::filesystem::path scratch_dir(std::string_view name);

void write_file(const std::filesystem::path& path, std::string_view text);
// The names in a folder, sorted.
std::vector<std::string> names_in(const std::filesystem::path& dir);
std::string read_file(const std::filesystem::path& path);

// The shipped example configuration.
std::string example_config();

// Runs the built program in `dir` with no standard input.
RunResult run_program(const std::filesystem::path& dir);

// The lines of a text, without their newlines.
std::vector<std::string> split_lines(std::string_view text);

// The line tag of a report section: "FD", the number in five digits, "%", two blanks.
std::string report_tag(int section);

// The size of the staged file that process `pid` holds open in `dir` (a
// file with no name, or a hidden one), or -1 while it holds none.
long long staged_file_size(pid_t pid, const std::filesystem::path& dir);

// Starts `work` in a forked child in `dir`, its standard input empty, its
// standard output and error on `out` and `err`, and no core file; `work`
// ends the child, by an exec or an exit.
pid_t start_in(const std::filesystem::path& dir, int out, int err, const std::function<void()>& work);

// Runs `work` so; returns how the child ended and its output.
RunResult run_in(const std::filesystem::path& dir, const std::function<void()>& work);

// Runs the program `argv[0]` (a path, no shell) with the arguments that
// follow in `dir`, after `prepare` in the child.
RunResult run_command(const std::filesystem::path& dir, const std::vector<std::string>& argv,
                      const std::function<void()>& prepare = {});

}  // namespace vorn::test
