// The abnormal-end reports, each built by one routine, and their observer,
// which sees an end wherever it starts: in a destructor, or in the handler of
// a trapped floating-point exception; the report at std::terminate, in the
// calling thread and in a worker; and the fixed report when memory is
// exhausted.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <unistd.h>

#include "checked_array/checked_array.hpp"
#include "run_end/abnormal_end.hpp"
#include "run_end/floating_point.hpp"
#include "support/child_run.hpp"
#include "support/privileges.hpp"
#include "workers/ordered_output.hpp"

// The allocations of C++ objects of this test program, with a switch that
// refuses them all as an exhausted memory would.  Only the scalar forms are
// replaced (and the nothrow one, which the others free): the array and
// aligned forms keep their own allocator on both of their ends.  The ends are
// kept out of line, where the compiler cannot pair a new with the free.
namespace {
std::atomic<bool> memory_exhausted{false};
}  // namespace

void* operator new(std::size_t size) {
    void* block = memory_exhausted ? nullptr : std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return memory_exhausted ? nullptr : std::malloc(size == 0 ? 1 : size);
}
[[gnu::noinline]] void operator delete(void* block) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept { std::free(block); }

// malloc and realloc of this test program, on glibc's own allocator, with a
// switch that makes them fail from a given call on, as an exhausted memory
// would, where the exception objects and the demangler take their memory.
// A sanitizer's allocator takes their place: there they stay its own.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define MALLOC_CAN_FAIL
extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* __libc_realloc(void* block, std::size_t size);
namespace {
std::atomic<long> mallocs_before_failure{-1};  // none fails while negative
std::atomic<bool> failing_once{false};         // the calls after the failing one do not fail
bool malloc_fails() {
    const long left = mallocs_before_failure;
    if (left > 0 || (left == 0 && failing_once)) mallocs_before_failure = left - 1;
    return left == 0;
}
}  // namespace
extern "C" void* malloc(std::size_t size) noexcept { return malloc_fails() ? nullptr : __libc_malloc(size); }
extern "C" void* realloc(void* block, std::size_t size) noexcept {
    return malloc_fails() ? nullptr : __libc_realloc(block, size);
}
#endif

namespace vorn::test {
namespace {

const SourceLocation statement = SourceLocation::current();

const IoStatement failed_read{Statement::read, 1, "master_nml", statement};

// The report of `work`, which must end the run abnormally, without the
// empty line and the banner.
std::string report_of(const std::function<void()>& work) {
    const ChildRun run = run_in_child(work);
    EXPECT_TRUE(run.ended_abnormally) << "returned " << run.returned << ", signal " << run.signal;
    const std::size_t banner_end = run.report.find(" ******\n");
    return banner_end == std::string::npos ? run.report : run.report.substr(banner_end + 8);
}

std::string place(std::string_view statement_name) {
    return " Location:  the " + std::string(statement_name) + " statement at line " +
           std::to_string(statement.line()) + " of \"test_abnormal_end.cpp\"\n";
}

TEST(AbnormalEnd, EachKindOfIoFailureHasItsReport) {
    EXPECT_EQ(report_of([] { abnormal_end_io(failed_read, 1092, "variable not in NAMELIST group"); }),
              " Error 1092:  variable not in NAMELIST group\n" + place("READ") + " Unit:  1\n File:  master_nml\n");
    EXPECT_EQ(report_of([] { abnormal_end_io({Statement::open, 10, "x.mat", statement}, ENOENT); }),
              " Error 2:  No such file or directory\n" + place("OPEN") + " Unit:  10\n File:  x.mat\n");
    EXPECT_EQ(report_of([] { abnormal_end_at_end_of_file(failed_read); }),
              " End-of-file:  -1\n" + place("READ") + " Unit:  1\n File:  master_nml\n");
    // At most 30 characters before the offending one; unprintable ones as "?".
    EXPECT_EQ(report_of([] {
                  abnormal_end_in_input(failed_read, 1084, "unexpected character in real value",
                                        "&NML_GR_INPUT GR_I_DMLON = 24\t.0x /", 31);
              }),
              " Error 1084:  unexpected character in real value\n" + place("READ") +
                  " Unit:  1\n File:  master_nml\n Input:  NML_GR_INPUT GR_I_DMLON = 24?.0x /\n"
                  "                                       ^\n");
}

TEST(AbnormalEnd, AnEndThatStartsInADestructorIsObserved) {
    struct EndsWhenDestroyed {
        ~EndsWhenDestroyed() { subscript_out_of_range(2, 0, "GR_STAT", statement); }
    };
    const std::string report = report_of([] { EndsWhenDestroyed ends; });
    EXPECT_NE(report.find("Subscript number 2 has value 0 in array 'GR_STAT'\n"), std::string::npos) << report;
}

TEST(AbnormalEnd, AnEndThatStartsInTheHandlerOfATrappedExceptionIsObserved) {
    static volatile double zero = 0.0;
    const std::string report = report_of([] {
        start_floating_point_mode();
        static volatile double quotient = 1.0 / zero;
        (void)quotient;
    });
    EXPECT_TRUE(report.starts_with(" Floating-point exception:  division by zero\n")) << report;
}

TEST(AbnormalEnd, WithoutAnObserverTheRunAborts) {
    const ChildRun run = run_in_child([] {
        set_abnormal_end_observer(nullptr);
        abnormal_end_message(" a message");
    });
    EXPECT_FALSE(run.ended_abnormally);
    EXPECT_EQ(run.signal, SIGABRT);
    EXPECT_TRUE(run.report.ends_with(" ******\n a message\n")) << run.report;
}

// Process 1 of a container takes no default action of the abort signal: the
// run still ends, with the status the signal would have given.
TEST(AbnormalEnd, AsProcessOneOfAContainerTheRunEndsWithTheAbortStatus) {
    VORN_SKIP_UNLESS(needs_namespaces());
    const ChildRun run = run_in_child([] {
        exit_as_process_one([] {
            set_abnormal_end_observer(nullptr);
            abnormal_end_message(" a message");
        });
    });
    EXPECT_EQ(run.exit_status, 128 + SIGABRT) << "killed by " << run.signal;
    EXPECT_TRUE(run.report.ends_with(" ******\n a message\n")) << run.report;
}

// --- std::terminate ------------------------------------------------------

// Runs `work` where no handler catches what it throws: std::terminate follows.
void without_handler(const std::function<void()>& work) noexcept { work(); }

// The report line of the end at std::terminate while `work` runs.
std::string terminate_report_of(const std::function<void()>& work) {
    return report_of([&] {
        start_terminate_report();
        without_handler(work);
    });
}

struct NotAStandardException {};

TEST(TerminateReport, NamesTheExceptionThatEscapedByItsTypeAndWhat) {
    EXPECT_EQ(terminate_report_of([] { throw std::runtime_error("the disk is on fire"); }),
              " Uncaught exception:  std::runtime_error: the disk is on fire\n");
    EXPECT_EQ(terminate_report_of([] { throw std::bad_alloc(); }),
              " Uncaught exception:  std::bad_alloc: std::bad_alloc\n");
    EXPECT_EQ(terminate_report_of([] { throw NotAStandardException(); }),
              " Uncaught exception:  vorn::test::(anonymous namespace)::NotAStandardException\n");
    EXPECT_EQ(terminate_report_of([] { throw 7; }), " Uncaught exception:  int\n");
    EXPECT_EQ(terminate_report_of([] { std::terminate(); }),
              " Terminated:  std::terminate called with no exception\n");
}

// Chunk c of a section on three workers puts "chunk c" on standard error;
// chunk 5 calls `fail` after its first record.
void section_failing_at_chunk_5(void (*fail)()) {
    start_terminate_report();
    set_worker_count_for_testing(3);
    ordered_text_chunks(
        8,
        [fail](std::int32_t chunk, TextUnit& buffer) {
            buffer.put("chunk " + std::to_string(chunk) + "\n");
            if (chunk == 5) fail();
        },
        [](std::int32_t, std::string_view characters) {
            std::fwrite(characters.data(), 1, characters.size(), stderr);
        });
}

const std::string chunks_before_the_failure = "chunk 0\nchunk 1\nchunk 2\nchunk 3\nchunk 4\nchunk 5\n";

TEST(TerminateReport, InAWorkerComesAfterTheRecordsBeforeTheFailure) {
    const ChildRun run = run_in_child([] {
        section_failing_at_chunk_5([] { throw std::length_error("chunk 5 is too long"); });
    });
    EXPECT_TRUE(run.ended_abnormally) << "returned " << run.returned << ", signal " << run.signal;
    EXPECT_TRUE(run.report.starts_with(chunks_before_the_failure + "\n****** ")) << run.report;
    EXPECT_TRUE(run.report.ends_with(" ******\n Uncaught exception:  std::length_error: chunk 5 is too long\n"))
        << run.report;
}

// --- Memory exhausted -----------------------------------------------------

const std::string memory_exhausted_line =
    " Memory exhausted:  the report of this abnormal end could not be built\n";
const std::string fixed_report = "\n****** vorn run-time system: the run ends abnormally ******\n" + memory_exhausted_line;

TEST(ReportWithoutMemory, IsTheFixedReport) {
    // An I/O failure, and an escaping std::bad_alloc, in the calling thread.
    EXPECT_EQ(run_in_child([] {
                  memory_exhausted = true;
                  abnormal_end_io(failed_read, 1092, "variable not in NAMELIST group");
              }).report,
              fixed_report);
    const ChildRun terminated = run_in_child([] {
        start_terminate_report();
        memory_exhausted = true;
        without_handler([] { throw std::bad_alloc(); });
    });
    EXPECT_TRUE(terminated.ended_abnormally);
    EXPECT_EQ(terminated.report, fixed_report);
}

TEST(ReportWithoutMemory, OfAWorkerIsHandedOverAndComesAfterTheRecordsBeforeTheFailure) {
    const ChildRun run = run_in_child([] {
        section_failing_at_chunk_5([] {
            memory_exhausted = true;
            throw std::bad_alloc();
        });
    });
    EXPECT_TRUE(run.ended_abnormally) << "returned " << run.returned << ", signal " << run.signal;
    EXPECT_EQ(run.report, chunks_before_the_failure + fixed_report);
}

#ifdef MALLOC_CAN_FAIL
// Throws and catches an exception in each of its frames, those of the frames
// above still caught, until there is no memory for another.
void nest_caught_exceptions() {
    try {
        throw 0;
    } catch (int) {
        nest_caught_exceptions();
    }
}

// Throws a std::length_error, made beforehand, from a frame of its own: the
// call `n` of malloc from the throw on fails, and so do those after it unless
// `once`.
[[gnu::noinline]] void throw_failing_malloc(long n, bool once) {
    const std::length_error error("chunk 5 is too long");
    failing_once = once;
    mallocs_before_failure = n;
    throw error;
}
#endif

TEST(ReportWithoutMemory, AtTerminateIsTheFixedReportWhereverAnAllocationFails) {
#ifndef MALLOC_CAN_FAIL
    GTEST_SKIP() << "the sanitizer's allocator takes the place of malloc, which this test makes fail";
#else
    // With malloc failing, nested exceptions fill the emergency pool of
    // exception objects, whose exhaustion calls std::terminate: then not even
    // the std::bad_alloc of a failed allocation can be thrown.
    const ChildRun nested = run_in_child([] {
        start_terminate_report();
        set_abnormal_end_observer(nullptr);
        mallocs_before_failure = 0;
        nest_caught_exceptions();
    });
    EXPECT_EQ(nested.signal, SIGABRT);
    EXPECT_EQ(nested.report, fixed_report);

    // Each malloc from the throw on gets its turn to fail, alone or with those
    // after it, until building the report needs no more.
    const std::string named = " Uncaught exception:  std::length_error: chunk 5 is too long\n";
    bool built = false;
    for (long n = 0; !built; ++n)
        for (const bool once : {true, false}) {
            const std::string report = terminate_report_of([&] { throw_failing_malloc(n, once); });
            ASSERT_TRUE(report == memory_exhausted_line || report == named)
                << "malloc call " << n << (once ? " failing alone" : " failing on") << ":\n" << report;
            built = !once && report == named;
        }
#endif
}

}  // namespace
}  // namespace vorn::test
