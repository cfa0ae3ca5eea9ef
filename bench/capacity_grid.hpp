// The grid of the capacity run (bench/capacity/master_nml: 1.5 million grid
// nodes, 91368 voxels), for the benchmarks of the run's phases.
#pragma once

namespace vorn::bench {

// Builds the grid from the configuration in a scratch folder, as the run does
// up to its report (init_geometry; the messages of the q axis go to /dev/null).
void build_capacity_grid();

// Connects unit 6 to /dev/null for its lifetime.
class OutputToNull {
public:
    OutputToNull();
    ~OutputToNull();
    OutputToNull(const OutputToNull&) = delete;
    OutputToNull& operator=(const OutputToNull&) = delete;

private:
    int fd_;
};

}  // namespace vorn::bench
