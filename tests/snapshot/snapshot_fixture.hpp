// Set-up of the snapshot tests: each test runs in its own scratch folder with
// unit 7 open there, the snapshot, geometry and model-state records zeroed,
// and reads back the snapshot file record by record.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "run_end/end_hooks.hpp"
#include "snapshot/mat_file_walk.hpp"
#include "snapshot/model_state.hpp"
#include "snapshot/snapshot.hpp"
#include "support/geometry_setup.hpp"
#include "support/snapshot_file_fixture.hpp"
#include "support/test_support.hpp"
#include "units/units.hpp"

namespace vorn::test {

class SnapshotTest : public SnapshotFileTest {
protected:
    void SetUp() override {
        SnapshotFileTest::SetUp();
        reset_snap_shot_record();
        reset_geometry_records();
        reset_model_state_records();
    }

    // Runs snap_shot and returns what it wrote on standard output.
    static std::string take_snapshot(std::string_view file_name) {
        flush_all_units();
        ::testing::internal::CaptureStdout();
        snap_shot(file_name);
        flush_all_units();
        return ::testing::internal::GetCapturedStdout();
    }

    // init_snap_shot with the flags in its argument order, then snap_shot.
    static std::string take_snapshot(std::string_view file_name, const std::int32_t (&flags)[7]) {
        init_snap_shot("test", 4, flags);
        return take_snapshot(file_name);
    }

    MatFileWalk walk(const std::string& file_name) const { return walk_mat_file(read_file(dir_ / file_name)); }
};

}  // namespace vorn::test
