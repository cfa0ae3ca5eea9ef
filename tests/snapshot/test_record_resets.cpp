// The resets of the snapshot and model-state records: every byte back to the
// zero the run starts with.
#include <gtest/gtest.h>

#include "snapshot/model_state.hpp"
#include "snapshot/snapshot.hpp"
#include "support/record_bytes.hpp"

namespace vorn::test {
namespace {

template <class Visit>
void each_model_state_record(Visit visit) {
    visit(e_equation);
    visit(s_state1);
    visit(costate);
    visit(cmn_physics_input);
    visit(cmn_p_ut);
    visit(cmn_p_ut_sec);
    visit(cmn_p_euvflux);
    visit(cmn_p_neutrals);
    visit(cmn_production);
    visit(cmn_p_prod_night);
    visit(cmn_loss);
    visit(cmn_p_temperature);
    visit(cmn_ion_velocity);
    visit(cmn_p_wind);
    visit(cmn_p_gravity);
    visit(cmn_drift_param);
    visit(cmn_wind_param);
    visit(cmn_prod_param);
    visit(cmn_p_sdec);
    visit(cmn_p_aen);
    visit(cmn_p_aprod);
    visit(cmn_p_convec);
}

TEST(RecordResets, ModelStateResetZeroesEveryRecord) {
    expect_reset_zeroes_all([](auto visit) { each_model_state_record(visit); }, reset_model_state_records);
}

TEST(RecordResets, SnapShotResetZeroesTheRecord) {
    expect_reset_zeroes_all([](auto visit) { visit(cmn_snap_shot); }, reset_snap_shot_record);
}

}  // namespace
}  // namespace vorn::test
