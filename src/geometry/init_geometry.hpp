// Geometry construction, in the one order of every run, and the reads of the
// configuration groups that it starts from.  It builds the records and writes
// nothing but the messages of its steps: the report and the snapshot are
// written from the finished records afterwards (main.cpp holds the run).
#pragma once

#include "run_end/source_location.hpp"

namespace vorn {

// Reads NML_GR_INPUT, rewinds unit 1, then sets the magnetic frame and builds
// the grid lines, the cell status and the voxels.
void init_geometry();

// Reads NML_IO_FLAGS from the current position of unit 1 into cmn_io_flags;
// `where` is the READ statement that a failure report names.
void read_io_flags(const SourceLocation& where = SourceLocation::current());

// Reads NML_GR_INPUT from the current position of unit 1 into cmn_gr_input.
void read_gr_input();

}  // namespace vorn
