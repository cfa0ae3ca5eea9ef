// Global records of the wider assimilation model: equation state, model state,
// adjoint state, physics inputs, physics fields and the three parameterised
// driver models (drift, wind, production).
//
// This program declares them so that a snapshot can carry them; nothing here
// assigns a member, so they hold the zeros they start with and every count
// taken from them is 0.  Each record is one global object in static storage,
// members in their declared order, arrays 1-based and column-major.  Storage
// that the wider model uses and this program never touches keeps its place in
// the layout as `untouched` bytes.
//
// Rows of the per-voxel arrays: max_voxel + 1 slots; per-face arrays: the face
// capacities of the geometry records.  Times are in seconds since the
// reference epoch.
#pragma once

#include <cstdint>

#include "checked_array/checked_array.hpp"
#include "geometry/records.hpp"

namespace vorn {

inline constexpr int pi_text_length = 255;  // fixed length of the file-name texts
inline constexpr int euv_bins = 37;         // solar EUV flux bins
inline constexpr int drift_grid_max = 20;   // drift-model grid points
inline constexpr int drift_terms = 4;       // drift-model partials per face and component
inline constexpr int wind_lon_max = 24;     // wind and production model grids
inline constexpr int wind_lat_max = 18;
inline constexpr int wind_alt_max = 10;
inline constexpr int wind_terms = 14;       // wind-model partials per q-face and component
inline constexpr int prod_terms = 7;        // production-model partials per voxel and component

template <ArrayName Name>
using Text255 = Array1<char, pi_text_length, Name>;
template <ArrayName Name>
using PFaceReal = Array1<double, max_p_faces, Name>;
template <ArrayName Name>
using QFaceReal = Array1<double, max_q_faces, Name>;

// Equation state.
struct EEquation {
    std::int32_t e_active_dim;
    Array1<std::int32_t, max_voxel, "E_ACTIVE"> e_active;  // the active list
    VoxelInt<"E_STATUS"> e_status;
    VoxelReal<"E_OI_UPDATE"> e_oi_update;
    VoxelReal<"E_OI_SENS_V"> e_oi_sens_v;  // sensitivities: the voxel itself, then its six sides
    VoxelReal<"E_OI_SENS_PL"> e_oi_sens_pl;
    VoxelReal<"E_OI_SENS_PH"> e_oi_sens_ph;
    VoxelReal<"E_OI_SENS_QL"> e_oi_sens_ql;
    VoxelReal<"E_OI_SENS_QH"> e_oi_sens_qh;
    VoxelReal<"E_OI_SENS_LL"> e_oi_sens_ll;
    VoxelReal<"E_OI_SENS_LH"> e_oi_sens_lh;
    VoxelReal<"E_OI_IMPL_V"> e_oi_impl_v;  // implicit terms: the voxel itself, low and high q
    VoxelReal<"E_OI_IMPL_QL"> e_oi_impl_ql;
    VoxelReal<"E_OI_IMPL_QH"> e_oi_impl_qh;
    double e_t_0;
    double e_t_f;
    double e_t_c;  // current time, first variable of every snapshot
    double e_t_n;
    double e_delta_t;
    std::int32_t e_bdry_rh_fluxflag;
    double e_bdry_rh_drate;
    std::int32_t e_bdry_ph_fluxflag;
    double e_bdry_ph_drate;
    std::int32_t e_bdry_fluxflag;
    double e_bdry_l_drate;
};

// Model state.
struct SState1 {
    VoxelReal<"S_DENSITY_OI"> s_density_oi;
    double untouched[voxel_slots];
};

// Adjoint state.
struct Costate {
    VoxelReal<"COSTATE_VAR"> costate_var;
    VoxelReal<"COSTATE_INNOV"> costate_innov;
    double untouched[voxel_slots];
    std::int32_t costate_innov_flag;  // 1: costate_innov holds an innovation to write
    std::int32_t untouched_word;
};

// Physics input parameters.
struct CmnPhysicsInput {
    std::int32_t untouched_word;
    std::int32_t pi_yydoy;
    std::int32_t pi_yyyymmdd;
    double pi_begin_utc;  // s; the snapshot time is pi_begin_utc + p_sod
    unsigned char untouched_1[8];
    float pi_f107t;
    float pi_f107a;
    float pi_f107y;
    float pi_ap;
    unsigned char untouched_2[8];
    double pi_d_ut;
    double pi_t_interp;
    unsigned char untouched_3[8];
    double pi_o_factor;
    double pi_n2_factor;
    unsigned char untouched_4[8];
    double pi_euvf_factor;
    double pi_o2_factor;
    double pi_te_factor;
    double pi_tn_factor;
    double pi_um_factor;
    double pi_uz_factor;
    double pi_nightprod_factor;
    double pi_fudge_factora;
    double pi_fudge_factorb;
    unsigned char untouched_5[8];
    Text255<"PI_INPUTPATH"> pi_inputpath;  // blank-padded texts
    Text255<"PI_EQDRIFT_FILE"> pi_eqdrift_file;
    Text255<"PI_EUV_FILE"> pi_euv_file;
    Text255<"PI_ELENERGY_FILE"> pi_elenergy_file;
    Text255<"PI_CNVCCOEF_FILE"> pi_cnvccoef_file;
    unsigned char untouched_6[1];
    double pi_elosspip;
    double pi_dmlon;
    double pi_dmlat;
    std::int32_t pi_convecmdl_id;
    std::int32_t pi_hilat_flag;
    std::int32_t pi_plevel;
    double pi_mlat_hllim4conv;
    double pi_mlat_mid2hibdry;
    double p_sod;  // s of the day
};

// Physics fields: per voxel (max_voxel + 1 slots) and per q-face.
struct CmnPUt {
    double p_ut;
    std::int32_t p_t_index;
    std::int32_t untouched_word;
};

struct CmnPUtSec {
    double p_ut_sec1;
    double p_ut_sec2;
    std::int32_t p_t_index1;
    std::int32_t p_t_index2;
};

struct CmnPEuvflux {
    Array1<double, euv_bins, "P_EUV_FLUX"> p_euv_flux;
};

struct CmnPNeutrals {
    VoxelReal<"P_O_VOXEL"> p_o_voxel;
    VoxelReal<"P_O2_VOXEL"> p_o2_voxel;
    VoxelReal<"P_N2_VOXEL"> p_n2_voxel;
    VoxelReal<"P_TN_VOXEL"> p_tn_voxel;
    QFaceReal<"P_O_SURFACE"> p_o_surface;
    QFaceReal<"P_O2_SURFACE"> p_o2_surface;
    QFaceReal<"P_N2_SURFACE"> p_n2_surface;
    QFaceReal<"P_TN_SURFACE"> p_tn_surface;
};

struct CmnProduction {
    Array2<double, 2, voxel_slots, "P_PROD_OI"> p_prod_oi;
};

struct CmnPProdNight {
    VoxelReal<"P_PROD_OI_NIGHT"> p_prod_oi_night;
};

struct CmnLoss {
    Array2<double, 2, voxel_slots, "P_LOSS_BETA"> p_loss_beta;
};

struct CmnPTemperature {
    VoxelReal<"P_TE_VOXEL"> p_te_voxel;
    VoxelReal<"P_TI_VOXEL"> p_ti_voxel;
    QFaceReal<"P_TE_SURFACE"> p_te_surface;
    QFaceReal<"P_TI_SURFACE"> p_ti_surface;
};

struct CmnIonVelocity {
    Array2<double, 2, max_l_faces, "P_VPERPM_UP"> p_vperpm_up;  // written for the p-faces
    Array2<double, 2, max_l_faces, "P_VPERPM_H"> p_vperpm_h;    // written for the l-faces
    Array2<double, 2, max_q_faces, "P_VPARAL"> p_vparal;        // q-faces
    Array2<double, 2, max_q_faces, "P_DIFFUS_I"> p_diffus_i;
    Array2<double, 2, max_q_faces, "P_DIFFUS_E"> p_diffus_e;
};

struct CmnPWind {
    double untouched[2 * max_q_faces];
    QFaceReal<"P_UP"> p_up;
};

struct CmnPGravity {
    Array1<double, max_l_faces, "P_G_SURFACE"> p_g_surface;  // the first g_fq_dim are written
    VoxelReal<"P_G_VOXEL"> p_g_voxel;
};

// Driver models.  Each holds a small parameter grid and a sparse table of
// partial derivatives: for row f and component c, *_partial_nz(f, c) entries
// k hold a parameter number *_partial_index(f, k, c) and a value
// *_partial(f, k, c).

// Drift model; rows are p-faces.
struct CmnDriftParam {
    std::int32_t drift_grid_size;  // points in drift_grid
    std::int32_t drift_order;
    std::int32_t drift_flag;
    std::int32_t drift_id_flag;
    Array1<std::int32_t, drift_grid_max - 1, "DRIFT_PARAMETER"> drift_parameter;  // one per interval
    Array1<double, drift_grid_max, "DRIFT_GRID"> drift_grid;
    Array1<double, drift_grid_max - 1, "DRIFT_COEF"> drift_coef;
    Array1<double, drift_grid_max - 1, "DRIFT_WEIGHT"> drift_weight;
    Array1<double, drift_grid_max - 1, "DRIFT_DELTA"> drift_delta;
    Array1<double, drift_grid_max - 1, "DRIFT_TOL"> drift_tol;
    Array3<double, max_l_faces, drift_terms, 2, "DRIFT_PARTIAL"> drift_partial;
    Array3<std::int32_t, max_l_faces, drift_terms, 2, "DRIFT_PARTIAL_INDEX"> drift_partial_index;
    Array2<std::int32_t, max_l_faces, 2, "DRIFT_PARTIAL_NZ"> drift_partial_nz;
    unsigned char untouched[320];
};

// Wind model; rows are q-faces.  Increments are indexed (altitude, latitude, longitude).
struct CmnWindParam {
    std::int32_t wind_flag;
    std::int32_t wind_id_flag;
    Array1<std::int32_t, 2 * wind_lon_max * wind_lat_max * wind_alt_max, "WIND_PARAMETER"> wind_parameter;
    std::int32_t wind_nlon;  // at most wind_lon_max
    Array1<double, wind_lon_max, "WIND_LON"> wind_lon;
    std::int32_t wind_nlat;  // at most wind_lat_max
    Array1<double, wind_lat_max, "WIND_LAT"> wind_lat;
    std::int32_t wind_nalt;  // at most wind_alt_max
    Array1<double, wind_alt_max, "WIND_ALT"> wind_alt;
    Array3<double, wind_alt_max, wind_lat_max, wind_lon_max, "WIND_INCR_E"> wind_incr_e;
    Array3<double, wind_alt_max, wind_lat_max, wind_lon_max, "WIND_INCR_N"> wind_incr_n;
    Array3<double, max_q_faces, wind_terms, 2, "WIND_PARTIAL"> wind_partial;
    Array3<std::int32_t, max_q_faces, wind_terms, 2, "WIND_PARTIAL_INDEX"> wind_partial_index;
    Array2<std::int32_t, max_q_faces, 2, "WIND_PARTIAL_NZ"> wind_partial_nz;
    unsigned char untouched[176];
};

// Production model; rows are voxels (max_voxel rows, without the extra slot).
struct CmnProdParam {
    std::int32_t prod_flag;
    std::int32_t prod_id_flag;
    Array1<std::int32_t, wind_lon_max * wind_lat_max * wind_alt_max, "PROD_PARAMETER"> prod_parameter;
    std::int32_t prod_nlon;
    Array1<double, wind_lon_max, "PROD_LON"> prod_lon;
    std::int32_t prod_nlat;
    Array1<double, wind_lat_max, "PROD_LAT"> prod_lat;
    std::int32_t prod_nalt;
    Array1<double, wind_alt_max, "PROD_ALT"> prod_alt;
    Array3<double, wind_alt_max, wind_lat_max, wind_lon_max, "PROD_INCR"> prod_incr;
    Array3<double, max_voxel, prod_terms, 2, "PROD_PARTIAL"> prod_partial;
    Array3<std::int32_t, max_voxel, prod_terms, 2, "PROD_PARTIAL_INDEX"> prod_partial_index;
    Array2<std::int32_t, max_voxel, 2, "PROD_PARTIAL_NZ"> prod_partial_nz;
    unsigned char untouched[176];
};

// The parameters of the driver models: one per drift-grid interval, two per
// cell of the wind grid, one per cell of the production grid.
inline std::int32_t drift_parameter_count(const CmnDriftParam& d) { return d.drift_grid_size - 1; }
inline std::int32_t wind_parameter_count(const CmnWindParam& w) {
    return (w.wind_nlat - 1) * (w.wind_nalt - 1) * (2 * w.wind_nlon - 2);
}
inline std::int32_t prod_parameter_count(const CmnProdParam& p) {
    return (p.prod_nlon - 1) * (p.prod_nlat - 1) * (p.prod_nalt - 1);
}

// Records of the physics family that this program neither reads nor writes;
// their layout belongs to the wider model.
struct CmnPSdec {
    unsigned char untouched[8];
};
struct CmnPAen {
    unsigned char untouched[8];
};
struct CmnPAprod {
    unsigned char untouched[8];
};
struct CmnPConvec {
    unsigned char untouched[8];
};

extern EEquation e_equation;
extern SState1 s_state1;
extern Costate costate;
extern CmnPhysicsInput cmn_physics_input;
extern CmnPUt cmn_p_ut;
extern CmnPUtSec cmn_p_ut_sec;
extern CmnPEuvflux cmn_p_euvflux;
extern CmnPNeutrals cmn_p_neutrals;
extern CmnProduction cmn_production;
extern CmnPProdNight cmn_p_prod_night;
extern CmnLoss cmn_loss;
extern CmnPTemperature cmn_p_temperature;
extern CmnIonVelocity cmn_ion_velocity;
extern CmnPWind cmn_p_wind;
extern CmnPGravity cmn_p_gravity;
extern CmnDriftParam cmn_drift_param;
extern CmnWindParam cmn_wind_param;
extern CmnProdParam cmn_prod_param;
extern CmnPSdec cmn_p_sdec;
extern CmnPAen cmn_p_aen;
extern CmnPAprod cmn_p_aprod;
extern CmnPConvec cmn_p_convec;

// Zeroes all of the records above, as the run starts them.
void reset_model_state_records();

}  // namespace vorn
