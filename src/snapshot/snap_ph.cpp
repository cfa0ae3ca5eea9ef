#include "geometry/records.hpp"
#include "snapshot/mat_variables.hpp"
#include "snapshot/model_sections.hpp"
#include "snapshot/model_state.hpp"

namespace vorn {

namespace {

// The physics fields in their records' order, except "p_up" between
// "p_vperpm_h" and "p_vparal".
void write_physics_fields() {
    const std::int32_t nv = cmn_g_voxel.g_v_dimension;
    const std::int32_t nfp = cmn_g_face_p.dim;
    const std::int32_t nfq = cmn_g_face_q.dim;
    const std::int32_t nfl = cmn_g_face_l.dim;
    const CmnPNeutrals& n = cmn_p_neutrals;
    const CmnPTemperature& t = cmn_p_temperature;
    const CmnIonVelocity& iv = cmn_ion_velocity;
    const MatVariable variables[] = {
        scalar("p_ut", cmn_p_ut.p_ut),
        scalar("p_t_index", cmn_p_ut.p_t_index),
        scalar("p_ut_sec1", cmn_p_ut_sec.p_ut_sec1),
        scalar("p_ut_sec2", cmn_p_ut_sec.p_ut_sec2),
        scalar("p_t_index1", cmn_p_ut_sec.p_t_index1),
        scalar("p_t_index2", cmn_p_ut_sec.p_t_index2),
        row(cmn_p_euvflux.p_euv_flux, euv_bins),
        row(n.p_o_voxel, nv),
        row(n.p_o2_voxel, nv),
        row(n.p_n2_voxel, nv),
        row(n.p_tn_voxel, nv),
        row(n.p_o_surface, nfq),
        row(n.p_o2_surface, nfq),
        row(n.p_n2_surface, nfq),
        row(n.p_tn_surface, nfq),
        matrix(cmn_production.p_prod_oi, 2, nv),
        row(cmn_p_prod_night.p_prod_oi_night, nv),
        matrix(cmn_loss.p_loss_beta, 2, nv),
        row(t.p_te_voxel, nv),
        row(t.p_ti_voxel, nv),
        row(t.p_te_surface, nfq),
        row(t.p_ti_surface, nfq),
        matrix(iv.p_vperpm_up, 2, nfp),
        matrix(iv.p_vperpm_h, 2, nfl),
        row(cmn_p_wind.p_up, nfq),
        matrix(iv.p_vparal, 2, nfq),
        matrix(iv.p_diffus_i, 2, nfq),
        matrix(iv.p_diffus_e, 2, nfq),
        row(cmn_p_gravity.p_g_surface, nfq),
        row(cmn_p_gravity.p_g_voxel, nv),
    };
    write_variables(variables);
}

// Each driver model with its sparse table as count, index, value.
void write_drift_model() {
    const std::int32_t nfp = cmn_g_face_p.dim;
    const CmnDriftParam& d = cmn_drift_param;
    const MatVariable variables[] = {
        scalar("drift_grid_size", d.drift_grid_size),
        scalar("drift_order", d.drift_order),
        scalar("drift_flag", d.drift_flag),
        scalar("drift_id_flag", d.drift_id_flag),
        row(d.drift_parameter, drift_parameter_count(d)),
        row(d.drift_grid, d.drift_grid_size),
        row(d.drift_coef, d.drift_grid_size),
        row(d.drift_weight, d.drift_grid_size),
        row(d.drift_delta, d.drift_grid_size),
        row(d.drift_tol, d.drift_grid_size),
        matrix(d.drift_partial_nz, nfp, 2),
        cube(d.drift_partial_index, nfp, drift_terms, 2),
        cube(d.drift_partial, nfp, drift_terms, 2),
    };
    write_variables(variables);
}

void write_wind_model() {
    const std::int32_t nfq = cmn_g_face_q.dim;
    const CmnWindParam& w = cmn_wind_param;
    const MatVariable variables[] = {
        scalar("wind_flag", w.wind_flag),
        scalar("wind_id_flag", w.wind_id_flag),
        row(w.wind_parameter, wind_parameter_count(w)),
        scalar("wind_nlon", w.wind_nlon),
        row(w.wind_lon, w.wind_nlon),
        scalar("wind_nlat", w.wind_nlat),
        row(w.wind_lat, w.wind_nlat),
        scalar("wind_nalt", w.wind_nalt),
        row(w.wind_alt, w.wind_nalt),
        cube(w.wind_incr_e, w.wind_nalt, w.wind_nlat, w.wind_nlon),
        cube(w.wind_incr_n, w.wind_nalt, w.wind_nlat, w.wind_nlon),
        matrix(w.wind_partial_nz, nfq, 2),
        cube(w.wind_partial_index, nfq, wind_terms, 2),
        cube(w.wind_partial, nfq, wind_terms, 2),
    };
    write_variables(variables);
}

void write_prod_model() {
    const std::int32_t nv = cmn_g_voxel.g_v_dimension;
    const CmnProdParam& pr = cmn_prod_param;
    const MatVariable variables[] = {
        scalar("prod_flag", pr.prod_flag),
        scalar("prod_id_flag", pr.prod_id_flag),
        row(pr.prod_parameter, prod_parameter_count(pr)),
        scalar("prod_nlon", pr.prod_nlon),
        row(pr.prod_lon, pr.prod_nlon),
        scalar("prod_nlat", pr.prod_nlat),
        row(pr.prod_lat, pr.prod_nlat),
        scalar("prod_nalt", pr.prod_nalt),
        row(pr.prod_alt, pr.prod_nalt),
        cube(pr.prod_incr, pr.prod_nalt, pr.prod_nlat, pr.prod_nlon),
        matrix(pr.prod_partial_nz, nv, 2),
        cube(pr.prod_partial_index, nv, prod_terms, 2),
        cube(pr.prod_partial, nv, prod_terms, 2),
    };
    write_variables(variables);
}

}  // namespace

void snap_ph() {
    write_physics_fields();
    write_drift_model();
    write_wind_model();
    write_prod_model();
}

}  // namespace vorn
