// The abnormal-end reports, each built by one routine, and their observer,
// which sees an end wherever it starts: in a destructor, or in the handler of
// a trapped floating-point exception.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "runtime/abnormal_end.hpp"
#include "runtime/checked_array.hpp"
#include "runtime/program_end.hpp"
#include "support/child_run.hpp"

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

}  // namespace
}  // namespace vorn::test
