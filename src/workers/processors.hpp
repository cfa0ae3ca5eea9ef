// The processors the process may run on, for the number of worker threads:
// its affinity mask (taskset, a batch system's CPU set), bounded by the CPU
// quota of its control groups (a container's or a job's CPU limit).
#pragma once

#include <string_view>

namespace vorn {

// The processors of the affinity mask, bounded by the cgroup quota when one
// is set; at least 1.  Reads /proc/self/cgroup, /proc/self/mountinfo and the
// quota files of the process's groups.
int usable_processors();

// The CPU quota of the groups of a process as processors (quota / period,
// rounded up), the smallest along the path from its own group up to the root
// of the hierarchy; 0 when none is set.  `own_groups` is the text of
// /proc/self/cgroup, `mounts` that of /proc/self/mountinfo, which tells where
// the hierarchies are mounted: cgroup v2 (cpu.max) and the v1 hierarchy of
// the cpu controller (cpu.cfs_quota_us, cpu.cfs_period_us).
int cgroup_cpu_limit(std::string_view own_groups, std::string_view mounts);

}  // namespace vorn
