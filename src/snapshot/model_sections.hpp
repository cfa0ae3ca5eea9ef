// Model-state sections of a snapshot: the equation, state, physics, costate
// and innovation sections, appended to the open snapshot file (unit 10) from
// the records of model_state.hpp.
//
// Each is a fixed list of MAT variables under their members' names (four are
// shorter: "e_bdry_rh_fl", "e_bdry_ph_fl", "e_bdry_flux", "pi_f107"); per-voxel
// arrays are rows of g_v_dimension, per-face arrays rows of the face count of
// their kind.  This program never fills the records, so the sections hold
// zeros and the lists taken from their own counts are empty.
#pragma once

namespace vorn {

// 23 variables of e_equation.
void snap_eq();

// The 33 physics inputs (save_ph_input), then "s_density_oi".
void snap_st();
void save_ph_input();

// 79 variables of the physics fields and the drift, wind and production models.
void snap_ph();

// "costate_var".
void snap_co_st();

// "costate_innov", only when costate_innov_flag is 1.
void snap_innov();

}  // namespace vorn
