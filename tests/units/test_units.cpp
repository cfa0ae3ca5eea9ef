// The opening of unit 1 on "master_nml": error 1018 only for a name that is
// not there, every other refusal with the system's own number and text.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "support/child_run.hpp"
#include "support/privileges.hpp"
#include "support/test_support.hpp"
#include "units/config_file.hpp"
#include "units/units.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

// The OPEN statement that the reports of these tests name.
const SourceLocation open_statement = SourceLocation::current();

// The report of opening "master_nml" in `dir`, where `prepare` runs first in
// the child, from the line after the banner on.
std::string opening_report(const fs::path& dir, void (*prepare)() = [] {}) {
    const ChildRun run = run_in_child([&] {
        if (chdir(dir.c_str()) != 0) return;
        prepare();
        open_config_file(open_statement);
    });
    EXPECT_TRUE(run.ended_abnormally) << "returned " << run.returned << ", signal " << run.signal;
    const std::size_t banner_end = run.report.find(" ******\n");
    return banner_end == std::string::npos ? run.report : run.report.substr(banner_end + 8);
}

std::string open_error(const std::string& error_line) {
    return error_line + "\n Location:  the OPEN statement at line " + std::to_string(open_statement.line()) +
           " of \"test_units.cpp\"\n Unit:  1\n File:  master_nml\n";
}

std::string system_error(int number) {
    return open_error(" Error " + std::to_string(number) + ":  " + std::strerror(number));
}

// In the child: the working folder loses its search permission, and a child
// of root its privilege, whom no permission stops.
void lose_search_permission() {
    chmod(".", S_IRUSR | S_IWUSR);
    if (!leave_root()) _exit(1);
}

TEST(ConfigFileOpening, AWorkingFolderThatMayNotBeSearchedIsPermissionDenied) {
    const fs::path dir = scratch_dir("units_folder_not_searchable");
    write_file(dir / "master_nml", "&NML_IO_FLAGS /\n");
    EXPECT_EQ(opening_report(dir, lose_search_permission), system_error(EACCES));
    fs::permissions(dir, fs::perms::owner_all);
}

TEST(ConfigFileOpening, OnlyANameThatIsNotThereIs1018) {
    const fs::path dir = scratch_dir("units_no_master_nml");
    EXPECT_EQ(opening_report(dir), open_error(" Error 1018:  can't find 'old' file"));
    fs::create_symlink("master_nml", dir / "master_nml");
    EXPECT_EQ(opening_report(dir), system_error(ELOOP));
}

}  // namespace
}  // namespace vorn::test
