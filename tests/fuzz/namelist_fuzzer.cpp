// libFuzzer harness of the configuration reader, fed whole "master_nml" texts.
//
// Each input becomes the file "master_nml" in a private working folder and is
// read as the program reads it (config_reads.hpp): the three groups through
// the program's own item tables, rewinding between them, in a forked child.
// An abnormal end of the reader is an expected outcome, wherever it starts.
// What the harness reports as a crash is what must never happen: a sanitizer
// report, a hang, a trap while a value is read, exception flags left behind
// by the reads, or a store past an item.
//
// The child's coverage counters come back with its outcome and are added to
// this process's, where libFuzzer reads them, so the search is guided as if
// the reads had run here.
//
// The reports of the expected abnormal ends go to standard error; run with
// -close_fd_mask=2 (bench/fuzz.sh does) to keep them out of libFuzzer's
// output, which then goes to a copy of the original standard error together
// with the sanitizer reports.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <span>
#include <string>
#include <string_view>
#include <unistd.h>

#include "config_reads.hpp"
#include "coverage_counters.hpp"

namespace {

int home_folder = -1;  // the folder libFuzzer works in (corpus paths are relative to it)
// In memory where there is such a file system: a disk file rewritten from its
// start is flushed to the disk at every close.
char work_folder_in_memory[] = "/dev/shm/vorn_namelist_fuzz.XXXXXX";
char work_folder_on_disk[] = "/tmp/vorn_namelist_fuzz.XXXXXX";
const char* work_folder = nullptr;

void write_config(const std::uint8_t* data, std::size_t size) {
    int fd = ::open("master_nml", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) std::abort();
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) std::abort();
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

// In the child: its faults, then its counters.
std::string faults_and_counters() {
    const std::span<std::uint8_t> counters = vorn::fuzzing::coverage_counters();
    return vorn::config_reads::faults_seen() + std::string(counters.begin(), counters.end());
}

// In this process: the child's counters, which started from this process's
// (cleared before each input), replace them.
void take_counters(const std::string& observed) {
    const std::span<std::uint8_t> counters = vorn::fuzzing::coverage_counters();
    const std::string_view seen = std::string_view(observed).substr(observed.find('\n') + 1);
    if (seen.size() == counters.size()) std::copy(seen.begin(), seen.end(), counters.begin());
}

void remove_work_folder() {
    std::string config = std::string(work_folder) + "/master_nml";
    ::unlink(config.c_str());
    ::rmdir(work_folder);
}

}  // namespace

// Each input forks this process: a small quarantine of freed memory keeps it
// small, and the fork fast.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    home_folder = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    work_folder = mkdtemp(work_folder_in_memory);
    if (work_folder == nullptr) work_folder = mkdtemp(work_folder_on_disk);
    if (home_folder < 0 || work_folder == nullptr) std::abort();
    std::atexit(remove_work_folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (chdir(work_folder) != 0) std::abort();
    write_config(data, size);
    const vorn::test::ChildRun run =
        vorn::test::run_in_child(vorn::config_reads::read_groups_here, faults_and_counters);
    take_counters(run.observed);
    const vorn::config_reads::Outcome outcome = vorn::config_reads::outcome_of(run);
    if (outcome.crashed) {
        ::write(STDERR_FILENO, outcome.report.data(), outcome.report.size());
        __builtin_trap();
    }
    if (outcome.flags_left || outcome.stored_past_items) __builtin_trap();
    if (fchdir(home_folder) != 0) std::abort();
    return 0;
}
