#include "geometry/records.hpp"
#include "snapshot/mat_variables.hpp"
#include "snapshot/model_sections.hpp"
#include "snapshot/model_state.hpp"

namespace vorn {

void snap_eq() {
    const EEquation& e = e_equation;
    const std::int32_t nv = cmn_g_voxel.g_v_dimension;

    // Times first (e_t_n before e_t_0), each boundary rate before its flag,
    // e_status before e_active, then the per-voxel arrays in the record's order.
    const MatVariable variables[] = {
        scalar("e_t_n", e.e_t_n),
        scalar("e_t_0", e.e_t_0),
        scalar("e_t_f", e.e_t_f),
        scalar("e_delta_t", e.e_delta_t),
        scalar("e_bdry_rh_drate", e.e_bdry_rh_drate),
        scalar("e_bdry_rh_fl", e.e_bdry_rh_fluxflag),
        scalar("e_bdry_ph_drate", e.e_bdry_ph_drate),
        scalar("e_bdry_ph_fl", e.e_bdry_ph_fluxflag),
        scalar("e_bdry_l_drate", e.e_bdry_l_drate),
        scalar("e_bdry_flux", e.e_bdry_fluxflag),
        row(e.e_status, nv),
        row(e.e_active, e.e_active_dim),
        row(e.e_oi_update, nv),
        row(e.e_oi_sens_v, nv),
        row(e.e_oi_sens_pl, nv),
        row(e.e_oi_sens_ph, nv),
        row(e.e_oi_sens_ql, nv),
        row(e.e_oi_sens_qh, nv),
        row(e.e_oi_sens_ll, nv),
        row(e.e_oi_sens_lh, nv),
        row(e.e_oi_impl_v, nv),
        row(e.e_oi_impl_ql, nv),
        row(e.e_oi_impl_qh, nv),
    };
    write_variables(variables);
}

}  // namespace vorn
