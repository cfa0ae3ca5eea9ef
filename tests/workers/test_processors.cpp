// The CPU quota of a process's control groups, found in a tree of quota
// files laid out as the cgroup file systems lay them out, in a scratch folder
// that the mount table names as their mount point.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>

#include "support/test_support.hpp"
#include "workers/processors.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

// Writes `text` to the file at `path`, creating its folders.
void put_file(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    write_file(path, text);
}

// A path as the kernel writes it in the mount table.
std::string kernel_escaped(const std::string& path) {
    const std::map<char, std::string> escapes{{' ', "\\040"}, {'\t', "\\011"}, {'\n', "\\012"}, {'\\', "\\134"}};
    std::string field;
    for (const char c : path) field += escapes.contains(c) ? escapes.at(c) : std::string(1, c);
    return field;
}

// A mount table line: the hierarchy's group `root` mounted at `mount_point`.
std::string mount_line(const std::string& root, const fs::path& mount_point, const std::string& type,
                       const std::string& super_options) {
    return "31 30 0:28 " + kernel_escaped(root) + " " + kernel_escaped(mount_point.string()) +
           " rw,relatime shared:9 - " + type + " " + type + " " + super_options + "\n";
}

TEST(CgroupCpuLimit, IsTheTightestQuotaFromTheOwnGroupUpToTheRootRoundedUp) {
    const fs::path v2 = scratch_dir("cgroup_v2");
    put_file(v2 / "batch/job7/cpu.max", "max 100000\n");
    put_file(v2 / "batch/cpu.max", "250000 100000\n");
    put_file(v2 / "cpu.max", "100000 100000\n");
    put_file(v2 / "batch/job8/cpu.max", "100000 100000\n");  // a sibling's
    const std::string mounts = mount_line("/", v2, "tmpfs", "rw") + mount_line("/", v2, "cgroup2", "rw");
    // The mount point's own group counts too.
    EXPECT_EQ(cgroup_cpu_limit("0::/batch/job7\n", mounts), 1);
    fs::remove(v2 / "cpu.max");
    EXPECT_EQ(cgroup_cpu_limit("0::/batch/job7\n", mounts), 3);
    EXPECT_EQ(cgroup_cpu_limit("0::/batch/job8\n", mounts), 1);
    EXPECT_EQ(cgroup_cpu_limit("0::/other\n", mounts), 0) << "no quota on the way up";
    EXPECT_EQ(cgroup_cpu_limit("", mounts), 0) << "no group of the process";
}

TEST(CgroupCpuLimit, ReadsTheCpuControllersVersionOneHierarchyBelowAContainersRoot) {
    const fs::path v1 = scratch_dir("cgroup_v1");
    const fs::path cpu = v1 / "cpu,cpuacct";
    put_file(cpu / "inner/cpu.cfs_quota_us", "-1\n");
    put_file(cpu / "inner/cpu.cfs_period_us", "100000\n");
    put_file(cpu / "cpu.cfs_quota_us", "150000\n");
    put_file(cpu / "cpu.cfs_period_us", "100000\n");
    // The memory hierarchy has no CPU quota, whatever files it holds.
    put_file(v1 / "memory/cpu.cfs_quota_us", "100000\n");
    put_file(v1 / "memory/cpu.cfs_period_us", "100000\n");
    const std::string own_groups = "5:memory:/docker/abc\n4:cpu,cpuacct:/docker/abc/inner\n0::/docker/abc\n";
    const std::string v1_mounts = mount_line("/docker/abc", cpu, "cgroup", "rw,cpu,cpuacct") +
                                  mount_line("/docker/abc", v1 / "memory", "cgroup", "rw,memory");
    EXPECT_EQ(cgroup_cpu_limit(own_groups, v1_mounts), 2);
    // A group outside the mount's root is taken as that root.
    EXPECT_EQ(cgroup_cpu_limit("4:cpu,cpuacct:/elsewhere\n", v1_mounts), 2);
    // With a cgroup v2 hierarchy too, the tighter of the two.
    const fs::path v2 = v1 / "unified";
    put_file(v2 / "cpu.max", "70000 100000\n");
    EXPECT_EQ(cgroup_cpu_limit(own_groups, v1_mounts + mount_line("/docker/abc", v2, "cgroup2", "rw")), 1);
    put_file(v2 / "cpu.max", "max 100000\n");
    EXPECT_EQ(cgroup_cpu_limit(own_groups, v1_mounts + mount_line("/docker/abc", v2, "cgroup2", "rw")), 2);
}

// One group's cpu.max in a tree mounted at `folder`.  A file that no kernel
// writes gives no wrong count, no hang and no failed allocation.
struct CpuMaxCase {
    std::string folder;
    std::optional<std::string> cpu_max;  // none: a FIFO with no writer
    int processors;
};

TEST(CgroupCpuLimit, OfOneGroupsCpuMaxFile) {
    const CpuMaxCase cases[] = {
        {"mounted at\\a blank", "150000 100000\n", 2},
        {"largest_quota", "9223372036854775807 100000\n", std::numeric_limits<int>::max()},
        {"rounded_up_near_the_top", "9223372036854775807 4611686018427387904\n", 2},
        {"quota_past_the_largest", "9223372036854775808 100000\n", 0},
        {"not_a_number", "150000 1e5\n", 0},
        {"fifo", std::nullopt, 0},
        {"over_long", "150000 100000\n" + std::string(1 << 20, '\n'), 0},
    };
    const fs::path trees = scratch_dir("cgroup_cpu_max");
    for (const CpuMaxCase& row : cases) {
        SCOPED_TRACE(row.folder);
        const fs::path cpu_max = trees / row.folder / "cpu.max";
        fs::create_directories(cpu_max.parent_path());
        if (row.cpu_max) write_file(cpu_max, *row.cpu_max);
        else ASSERT_EQ(mkfifo(cpu_max.c_str(), 0600), 0);
        EXPECT_EQ(cgroup_cpu_limit("0::/\n", mount_line("/", trees / row.folder, "cgroup2", "rw")), row.processors);
    }
}

}  // namespace
}  // namespace vorn::test
