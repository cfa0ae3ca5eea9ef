#include "geometry/records.hpp"
#include "snapshot/mat_variables.hpp"
#include "snapshot/model_sections.hpp"
#include "snapshot/model_state.hpp"

namespace vorn {

void snap_co_st() {
    const MatVariable variables[] = {
        row(costate.costate_var, cmn_g_voxel.g_v_dimension),
    };
    write_variables(variables);
}

void snap_innov() {
    // The section's flag only calls this; the record says whether an innovation is there.
    if (costate.costate_innov_flag != 1) return;
    const MatVariable variables[] = {
        row(costate.costate_innov, cmn_g_voxel.g_v_dimension),
    };
    write_variables(variables);
}

}  // namespace vorn
