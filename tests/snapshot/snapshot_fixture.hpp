// Set-up of the snapshot tests: each test runs in its own scratch folder with
// unit 7 open there, the snapshot, geometry and model-state records zeroed,
// and reads back the snapshot file record by record.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "matfile/snapshot_file_fixture.hpp"
#include "runtime/units.hpp"
#include "snapshot/mat_file_walk.hpp"
#include "snapshot/model_state.hpp"
#include "snapshot/snapshot.hpp"
#include "support/geometry_setup.hpp"
#include "support/test_support.hpp"

namespace vorn::testing {

// The records are too large for a zeroed temporary on the stack.
template <class Record>
void zero(Record& record) {
    std::memset(static_cast<void*>(&record), 0, sizeof record);
}

inline void clear_model_state_records() {
    zero(e_equation);
    zero(s_state1);
    zero(costate);
    zero(cmn_physics_input);
    zero(cmn_p_ut);
    zero(cmn_p_ut_sec);
    zero(cmn_p_euvflux);
    zero(cmn_p_neutrals);
    zero(cmn_production);
    zero(cmn_p_prod_night);
    zero(cmn_loss);
    zero(cmn_p_temperature);
    zero(cmn_ion_velocity);
    zero(cmn_p_wind);
    zero(cmn_p_gravity);
    zero(cmn_drift_param);
    zero(cmn_wind_param);
    zero(cmn_prod_param);
}

class SnapshotTest : public SnapshotFileTest {
protected:
    void SetUp() override {
        SnapshotFileTest::SetUp();
        zero(cmn_snap_shot);
        clear_geometry_records();
        clear_model_state_records();
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

}  // namespace vorn::testing
