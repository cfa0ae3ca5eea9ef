// Chunks filled on worker threads and put out in order: the order and bytes
// whatever the number of workers, the workers' floating-point mode, an
// abnormal end in a worker, and the worker count under an affinity mask.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <atomic>
#include <cfenv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <sched.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

#include "runtime/parallel.hpp"
#include "runtime/program_end.hpp"
#include "support/child_run.hpp"

namespace vorn {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::KilledBySignal;
using ::testing::StartsWith;

volatile double zero = 0.0;
volatile double tiny = 1e-300;

// Chunk c's text: its number and c % 7 + 1 lines of a varying length.
std::string chunk_text(int chunk) {
    std::string text = "chunk " + std::to_string(chunk) + "\n";
    for (int line = 0; line <= chunk % 7; ++line) text += std::string(static_cast<std::size_t>(line * 37 % 101), 'x') + "\n";
    return text;
}

// The section of the tests of the worker count: 300 chunks of chunk_text.
constexpr int section_chunks = 300;

const std::string& section_texts() {
    static const std::string texts = [] {
        std::string all;
        for (int chunk = 0; chunk < section_chunks; ++chunk) all += chunk_text(chunk);
        return all;
    }();
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
    ordered_chunks(
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
    std::string expected;
    for (int chunk = 0; chunk < count; ++chunk) expected += chunk_text(chunk);
    std::string out;
    int next = 0;
    bool in_order = true;
    std::atomic<bool> filled_by_workers = true;
    ordered_chunks(
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
    EXPECT_TRUE(out == expected);
}

TEST_P(Chunks, WorkersComputeInTheCallersModeAndHandBackTheirFlags) {
    std::fesetround(FE_UPWARD);
    std::feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_DIVBYZERO);
    std::atomic<bool> same_mode = true;
    parallel_chunks(40, [&](std::int32_t) {
        if (std::fegetround() != FE_UPWARD || fegetexcept() != FE_DIVBYZERO) same_mode = false;
        volatile double result = tiny * tiny;
        static_cast<void>(result);
    });
    const int raised = std::fetestexcept(FE_UNDERFLOW);
    fedisableexcept(FE_ALL_EXCEPT);
    std::fesetround(FE_TONEAREST);
    EXPECT_TRUE(same_mode);
    EXPECT_NE(raised, 0) << "the workers' underflow did not reach the caller";
}

// Chunks 0 .. 39 on stderr as they come out; chunk 17 traps after a partial
// line, chunk 25 traps too (an overflow, at once) while chunk 17 waits.
void run_with_traps() {
    start_floating_point_mode();
    ordered_chunks(
        40,
        [](std::int32_t chunk, TextUnit& buffer) {
            buffer.put(chunk_text(chunk));
            volatile double result = 0.0;
            if (chunk == 17) {
                buffer.put("partial\n");
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                result = 1.0 / zero;
            }
            if (chunk == 25) result = 1e300 * (1e300 + zero);
            static_cast<void>(result);
        },
        [](std::int32_t, std::string_view characters) {
            std::fwrite(characters.data(), 1, characters.size(), stderr);
        });
    std::exit(0);
}

TEST_P(Chunks, AFirstTrapEndsTheRunWithItsReportAfterTheRecordsBeforeIt) {
    std::string before;
    for (int chunk = 0; chunk <= 17; ++chunk) before += chunk_text(chunk);
    before += "partial\n\n******";
    EXPECT_EXIT(run_with_traps(), KilledBySignal(SIGABRT),
                AllOf(StartsWith(before), HasSubstr(" Floating-point exception:  division by zero\n")));
}

INSTANTIATE_TEST_SUITE_P(Workers, Chunks, ::testing::Values(1, 2, 3, 16),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::to_string(info.param) + "_workers";
                         });

TEST(WorkerCount, IsOneUnderAnAffinityMaskOfOneProcessorAndTheSectionRunsOnTheCallingThread) {
    std::ostringstream outcome;
    const testing::ChildRun run = testing::run_in_child(
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
            outcome << worker_count() << ' ' << done.on_caller_alone << ' ' << (done.out == section_texts());
        },
        [&] { return outcome.str(); });
    EXPECT_TRUE(run.returned) << run.report;
    EXPECT_EQ(run.observed, "1 1 1") << "worker count, chunks on the calling thread, same bytes";
}

}  // namespace
}  // namespace vorn
