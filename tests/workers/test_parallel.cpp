// Chunks filled on worker threads and put out in order: the order and bytes
// whatever the number of workers, the workers' floating-point mode, every end
// of the run in a chunk, sections started inside a section, workers that
// cannot start, and the worker count under an affinity mask.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <atomic>
#include <cfenv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sched.h>
#include <sstream>
#include <span>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "program_end/program_end.hpp"
#include "run_end/floating_point.hpp"
#include "support/child_run.hpp"
#include "support/privileges.hpp"
#include "workers/ordered_output.hpp"

namespace vorn::test {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::KilledBySignal;
using ::testing::StartsWith;

volatile double zero = 0.0;
volatile double tiny = 1e-300;
volatile double huge = 1e300;

// Chunk c's text: its number and c % 7 + 1 lines of a varying length.
std::string chunk_text(int chunk) {
    std::string text = "chunk " + std::to_string(chunk) + "\n";
    for (int line = 0; line <= chunk % 7; ++line) text += std::string(static_cast<std::size_t>(line * 37 % 101), 'x') + "\n";
    return text;
}

// The texts of chunks 0 .. count - 1.
std::string chunk_texts(int count) {
    std::string texts;
    for (int chunk = 0; chunk < count; ++chunk) texts += chunk_text(chunk);
    return texts;
}

// The thread ids of this process's worker threads, found by their name.
std::vector<pid_t> worker_thread_ids() {
    std::vector<pid_t> workers;
    for (const std::filesystem::directory_entry& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream name(task.path() / "comm");
        std::string line;
        if (std::getline(name, line) && line == "vorn_worker") workers.push_back(std::stoi(task.path().filename()));
    }
    return workers;
}

int worker_threads() { return static_cast<int>(worker_thread_ids().size()); }

// The section of the tests of the workers' starts: 300 chunks of chunk_text.
constexpr int section_chunks = 300;

const std::string& section_texts() {
    static const std::string texts = chunk_texts(section_chunks);
    return texts;
}

// What the section put out, and whether the calling thread filled every chunk.
struct Section {
    std::string out;
    bool on_caller_alone = true;
};

// Runs the section into `section`, which has room for its characters already,
// so that it allocates little.
void run_section(Section& section) {
    section.out.clear();
    section.on_caller_alone = true;
    std::thread::id filler[section_chunks];
    ordered_text_chunks(
        section_chunks,
        [&](std::int32_t chunk, TextUnit& buffer) {
            filler[chunk] = std::this_thread::get_id();
            buffer.put(chunk_text(chunk));
        },
        [&](std::int32_t, std::string_view characters) { section.out += characters; });
    for (const std::thread::id id : filler) section.on_caller_alone &= id == std::this_thread::get_id();
}

class Chunks : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { set_worker_count_for_testing(GetParam()); }
    void TearDown() override { set_worker_count_for_testing(0); }
};

TEST_P(Chunks, ComeOutInOrderWithTheirBytes) {
    constexpr int count = 300;
    std::string out;
    int next = 0;
    bool in_order = true;
    std::atomic<bool> filled_by_workers = true;
    ordered_text_chunks(
        count,
        [&](std::int32_t chunk, TextUnit& buffer) {
            if (!buffer.buffered().empty() || in_worker_thread() != (GetParam() > 1)) filled_by_workers = false;
            buffer.put(chunk_text(chunk));
        },
        [&](std::int32_t chunk, std::string_view characters) {
            if (chunk != next++ || in_worker_thread()) in_order = false;
            out += characters;
        });
    EXPECT_TRUE(in_order);
    EXPECT_TRUE(filled_by_workers) << "a buffer was not empty, or the wrong thread filled it";
    EXPECT_EQ(next, count);
    EXPECT_TRUE(out == chunk_texts(count));
}

// Byte chunks share their storage with the text chunks: a byte section after
// a text section starts each chunk empty and puts the bytes out in order.
TEST_P(Chunks, ByteChunksComeOutInOrderAfterATextSection) {
    Section text;
    run_section(text);
    constexpr int count = 200;
    std::string out;
    std::atomic<bool> started_empty = true;
    ordered_byte_chunks(
        count,
        [&](std::int32_t chunk, ByteChunk& bytes) {
            if (!bytes.buffered().empty()) started_empty = false;
            const std::string text = chunk_text(chunk);
            for (const char c : text) bytes.put(&c, 1);
        },
        [&](std::int32_t, std::span<const char> bytes) { out.append(bytes.data(), bytes.size()); });
    EXPECT_TRUE(started_empty);
    EXPECT_TRUE(out == chunk_texts(count));
}

TEST_P(Chunks, ByteChunkBeyondItsBufferEndsTheRun) {
    const ChildRun run = run_in_child([] {
        ordered_byte_chunks(
            4,
            [](std::int32_t chunk, ByteChunk& bytes) {
                static const std::string block(byte_chunk_size / 2, 'b');
                for (int half = 0; half < (chunk == 2 ? 3 : 2); ++half) bytes.put(block.data(), block.size());
            },
            [](std::int32_t, std::span<const char>) {});
    });
    EXPECT_TRUE(run.ended_abnormally);
    EXPECT_NE(run.report.find(" Chunk overflow:  the bytes of a chunk pass its buffer of 1048576 bytes."),
              std::string::npos)
        << run.report;
}

TEST_P(Chunks, WorkersComputeInTheCallersModeAndHandBackEveryUntrappedFlag) {
    std::fesetround(FE_UPWARD);
    std::feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_DIVBYZERO);
    std::atomic<bool> same_mode = true;
    parallel_for(40, [&](std::int32_t chunk) {
        if (std::fegetround() != FE_UPWARD || fegetexcept() != FE_DIVBYZERO) same_mode = false;
        volatile double result = chunk == 7 ? huge * huge : tiny * tiny;
        static_cast<void>(result);
    });
    const int raised = std::fetestexcept(FE_UNDERFLOW | FE_OVERFLOW);
    fedisableexcept(FE_ALL_EXCEPT);
    std::fesetround(FE_TONEAREST);
    std::feclearexcept(FE_ALL_EXCEPT);
    EXPECT_TRUE(same_mode);
    EXPECT_EQ(raised, FE_UNDERFLOW | FE_OVERFLOW) << "the workers' flags did not all reach the caller";
}

// Chunks 0 .. 39 on stderr as they come out; chunk 17 traps after a partial
// line, chunk 25 traps too (an overflow, at once) while chunk 17 waits.
void run_with_traps() {
    start_floating_point_mode();
    ordered_text_chunks(
        40,
        [](std::int32_t chunk, TextUnit& buffer) {
            buffer.put(chunk_text(chunk));
            volatile double result = 0.0;
            if (chunk == 17) {
                buffer.put("partial\n");
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                result = 1.0 / zero;
            }
            if (chunk == 25) result = huge * (huge + zero);
            static_cast<void>(result);
        },
        [](std::int32_t, std::string_view characters) {
            std::fwrite(characters.data(), 1, characters.size(), stderr);
        });
    std::exit(0);
}

TEST_P(Chunks, AFirstTrapEndsTheRunWithItsReportAfterTheRecordsBeforeIt) {
    EXPECT_EXIT(run_with_traps(), KilledBySignal(SIGABRT),
                AllOf(StartsWith(chunk_texts(18) + "partial\n\n******"),
                      HasSubstr(" Floating-point exception:  division by zero\n")));
}

// In a child whose unit 6 writes on the captured standard error: 40 chunks of
// chunk_text put out on unit 6, chunk 20 adding a partial line and then
// calling `end` a moment later, while other workers fill the chunks after it,
// each of which raises an underflow.
template <class End>
ChildRun run_ending_in_chunk_20(const End& end) {
    return run_in_child([&] {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        start_floating_point_mode();
        ordered_text_chunks(
            40,
            [&](std::int32_t chunk, TextUnit& buffer) {
                buffer.put(chunk_text(chunk));
                if (chunk > 20) {
                    volatile double result = tiny * tiny;
                    static_cast<void>(result);
                }
                if (chunk == 20) {
                    buffer.put("partial\n");
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    end();
                }
            },
            [](std::int32_t, std::string_view characters) { text_unit(output_unit).put(characters); });
    });
}

const std::string traps_note =
    " IEEE floating-point exception traps enabled: \n"
    "    overflow;  division by zero;  invalid operation; \n";

TEST_P(Chunks, AFatalStopInAChunkWritesItsLinesAfterTheRecordsBeforeItAndExitsWithOne) {
    const ChildRun run = run_ending_in_chunk_20([] {
        volatile double result = tiny * tiny;  // in the note: raised before the stop
        static_cast<void>(result);
        fatal_stop({{"stopped in chunk", 20}, {"of", 40}});
    });
    EXPECT_EQ(run.exit_status, 1) << run.report;
    EXPECT_THAT(run.report, StartsWith(chunk_texts(21) + "partial\n stopped in chunk  20\n of  40\n" +
                                       " Note: IEEE floating-point exception flags raised: \n"
                                       "    Inexact;  Underflow; \n" +
                                       traps_note));
}

TEST_P(Chunks, AnOrderlyEndInAChunkEndsTheRunAfterTheRecordsBeforeItWithoutTheFlagsOfLaterChunks) {
    const ChildRun run = run_ending_in_chunk_20([] { orderly_end(); });
    EXPECT_EQ(run.exit_status, 0) << run.report;
    EXPECT_THAT(run.report, StartsWith(chunk_texts(21) + "partial\n Note:" + traps_note));
}

TEST_P(Chunks, ASectionStartedInsideASectionEndsTheRunAbnormally) {
    const std::string refusal = " Nested section:  a section of chunks was started inside another one.\n";
    auto put_on_stderr = [](std::int32_t, std::string_view characters) {
        std::fwrite(characters.data(), 1, characters.size(), stderr);
    };
    const ChildRun in_a_fill = run_in_child([&] {
        ordered_text_chunks(
            40,
            [](std::int32_t chunk, TextUnit& buffer) {
                buffer.put(chunk_text(chunk));
                if (chunk == 5) parallel_for(2, [](std::int32_t) {});
            },
            put_on_stderr);
    });
    EXPECT_TRUE(in_a_fill.ended_abnormally);
    EXPECT_THAT(in_a_fill.report, AllOf(StartsWith(chunk_texts(6) + "\n******"), HasSubstr(refusal)));
    const ChildRun in_a_put = run_in_child([&] {
        ordered_text_chunks(
            40, [](std::int32_t chunk, TextUnit& buffer) { buffer.put(chunk_text(chunk)); },
            [&](std::int32_t chunk, std::string_view characters) {
                if (chunk == 3) parallel_for(2, [](std::int32_t) {});
                put_on_stderr(chunk, characters);
            });
    });
    EXPECT_TRUE(in_a_put.ended_abnormally);
    EXPECT_THAT(in_a_put.report, AllOf(StartsWith(chunk_texts(3) + "\n******"), HasSubstr(refusal)));
}

INSTANTIATE_TEST_SUITE_P(Workers, Chunks, ::testing::Values(1, 2, 3, 16),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::to_string(info.param) + "_workers";
                         });

// A SIGFPE that another process sends to a worker waiting for the next
// section: no chunk of it ends the run, and the run ends with its report
// rather than waiting for one.  (The alarm ends a child that waits.)
TEST(SentSignal, ASigfpeSentToAWorkerOutsideAChunkEndsTheRunWithItsReport) {
    const ChildRun run = run_in_child([] {
        alarm(20);
        start_floating_point_mode();
        set_worker_count_for_testing(3);
        parallel_for(40, [](std::int32_t) {});
        const std::vector<pid_t> workers = worker_thread_ids();
        if (workers.empty()) _exit(90);
        syscall(SYS_tgkill, getpid(), workers.front(), SIGFPE);
        parallel_for(40, [](std::int32_t) {});
        std::this_thread::sleep_for(std::chrono::seconds(5));
    });
    EXPECT_EQ(run.signal, SIGABRT) << "exit status " << run.exit_status;
    EXPECT_THAT(run.report, HasSubstr(" Floating-point exception:  SIGFPE sent by another process; no operation "
                                      "of the run raised it\n"));
}

// Two sections of chunk texts, each asking for every worker, after `limit`
// and with `between` between them: "<same bytes> <worker threads> " after
// each.
std::string two_sections(const std::function<void()>& limit, const std::function<void()>& between) {
    set_worker_count_for_testing(max_workers);
    Section done;
    done.out.reserve(section_texts().size());
    std::string outcome;
    outcome.reserve(64);
    limit();
    for (int section = 1; section <= 2; ++section) {
        run_section(done);
        outcome += std::to_string(done.out == section_texts()) + ' ' + std::to_string(worker_threads()) + ' ';
        if (section == 1) between();
    }
    return outcome;
}

class ProcessLimit : public ::testing::TestWithParam<rlim_t> {};

TEST_P(ProcessLimit, ThreadsThatCannotStartLeaveTheSectionToThoseThatDidAndAreNotTriedAgain) {
    // The child leaves root, whom the limit does not hold; the hard limit stays.
    const rlim_t limit = GetParam();
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_NPROC, &before), 0);
    const auto hold = [&] {
        const rlimit held{limit, before.rlim_max};
        if (!leave_root() || setrlimit(RLIMIT_NPROC, &held) != 0) _exit(3);
    };
    const auto raise_the_limit = [&] {
        const rlimit more{before.rlim_max, before.rlim_max};
        setrlimit(RLIMIT_NPROC, &more);
    };
    std::string sections;
    const ChildRun run = run_in_child([&] { sections = two_sections(hold, raise_the_limit); }, [&] { return sections; });
    ASSERT_TRUE(run.returned) << "status " << run.exit_status << ", signal " << run.signal << "\n" << run.report;
    std::istringstream outcome(run.observed);
    bool first_same = false, second_same = false;
    int first_workers = -1, second_workers = -1;
    outcome >> first_same >> first_workers >> second_same >> second_workers;
    EXPECT_TRUE(first_same && second_same) << "the chunks' bytes differ";
    // The calling thread counts too, and other processes of the user may hold a share.
    EXPECT_GE(first_workers, 0);
    EXPECT_LT(first_workers, static_cast<int>(limit));
    EXPECT_EQ(second_workers, first_workers) << "a start was tried again once the limit was raised";
}

INSTANTIATE_TEST_SUITE_P(Limits, ProcessLimit, ::testing::Values(1, 3),
                         [](const ::testing::TestParamInfo<rlim_t>& info) {
                             return std::to_string(info.param) + "_processes";
                         });

// The address space in use and 64 KiB more: the heap's next few strings
// fit, a worker's stack does not.
void limit_address_space() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    unsigned long pages = 0;
    if (statm == nullptr || std::fscanf(statm, "%lu", &pages) != 1) _exit(5);
    std::fclose(statm);
    const rlim_t bytes = pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (64 << 10);
    const rlimit address_space{bytes, bytes};
    if (setrlimit(RLIMIT_AS, &address_space) != 0) _exit(4);
}

TEST(AddressSpaceLimit, WithNoRoomForAWorkersStackTheCallingThreadDoesTheWork) {
    // A process of its own, started anew: a forked one would find the stacks
    // of the test process's workers kept for reuse.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::fputs(two_sections(limit_address_space, [] {}).c_str(), stderr);
            std::fflush(stderr);
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "^1 0 1 0 $");
}

TEST(WorkerCount, IsOneUnderAnAffinityMaskOfOneProcessorAndTheSectionRunsOnTheCallingThread) {
    std::ostringstream outcome;
    const ChildRun run = run_in_child(
        [&] {
            cpu_set_t allowed;
            if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) _exit(4);
            int first = 0;
            while (!CPU_ISSET(first, &allowed)) ++first;
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(first, &one);
            if (sched_setaffinity(0, sizeof one, &one) != 0) _exit(5);
            Section done;
            run_section(done);
            outcome << worker_count() << ' ' << done.on_caller_alone << ' ' << (done.out == section_texts()) << ' '
                    << worker_threads();
        },
        [&] { return outcome.str(); });
    EXPECT_TRUE(run.returned) << run.report;
    EXPECT_EQ(run.observed, "1 1 1 0") << "worker count, chunks on the calling thread, same bytes, worker threads";
}

}  // namespace
}  // namespace vorn::test
