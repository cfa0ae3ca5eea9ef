#include "geometry/records.hpp"
#include "snapshot/mat_variables.hpp"
#include "snapshot/model_sections.hpp"
#include "snapshot/model_state.hpp"

namespace vorn {

void save_ph_input() {
    const CmnPhysicsInput& pi = cmn_physics_input;

    // Date and begin time first, pi_ap before the three activity values (the
    // singles go out widened to double), the texts last, whole 255 characters.
    const MatVariable variables[] = {
        scalar("pi_yyyymmdd", pi.pi_yyyymmdd),
        scalar("pi_begin_utc", pi.pi_begin_utc),
        scalar("pi_yydoy", pi.pi_yydoy),
        scalar("pi_ap", pi.pi_ap),
        scalar("pi_f107", pi.pi_f107t),
        scalar("pi_f107a", pi.pi_f107a),
        scalar("pi_f107y", pi.pi_f107y),
        scalar("pi_d_ut", pi.pi_d_ut),
        scalar("pi_t_interp", pi.pi_t_interp),
        scalar("pi_euvf_factor", pi.pi_euvf_factor),
        scalar("pi_o_factor", pi.pi_o_factor),
        scalar("pi_n2_factor", pi.pi_n2_factor),
        scalar("pi_o2_factor", pi.pi_o2_factor),
        scalar("pi_te_factor", pi.pi_te_factor),
        scalar("pi_tn_factor", pi.pi_tn_factor),
        scalar("pi_um_factor", pi.pi_um_factor),
        scalar("pi_uz_factor", pi.pi_uz_factor),
        scalar("pi_nightprod_factor", pi.pi_nightprod_factor),
        scalar("pi_fudge_factora", pi.pi_fudge_factora),
        scalar("pi_fudge_factorb", pi.pi_fudge_factorb),
        scalar("pi_hilat_flag", pi.pi_hilat_flag),
        scalar("pi_plevel", pi.pi_plevel),
        scalar("pi_convecmdl_id", pi.pi_convecmdl_id),
        scalar("pi_elosspip", pi.pi_elosspip),
        scalar("pi_dmlon", pi.pi_dmlon),
        scalar("pi_dmlat", pi.pi_dmlat),
        scalar("pi_mlat_hllim4conv", pi.pi_mlat_hllim4conv),
        scalar("pi_mlat_mid2hibdry", pi.pi_mlat_mid2hibdry),
        row(pi.pi_inputpath, pi_text_length),
        row(pi.pi_eqdrift_file, pi_text_length),
        row(pi.pi_euv_file, pi_text_length),
        row(pi.pi_elenergy_file, pi_text_length),
        row(pi.pi_cnvccoef_file, pi_text_length),
    };
    write_variables(variables);
}

void snap_st() {
    save_ph_input();
    const MatVariable variables[] = {
        row(s_state1.s_density_oi, cmn_g_voxel.g_v_dimension),
    };
    write_variables(variables);
}

}  // namespace vorn
