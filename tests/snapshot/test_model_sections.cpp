// The model-state sections: names, order, classes and shapes of every
// variable, zeros from the unfilled records, recognisable values from filled
// ones read back in C++ and with scipy, and the counts that pass an array.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "geometry/records.hpp"
#include "snapshot/geometry_section_expected.hpp"
#include "snapshot/model_sections.hpp"
#include "snapshot/snapshot_fixture.hpp"

namespace vorn::test {
namespace {

constexpr std::int32_t f64 = 0;
constexpr std::int32_t i32 = 20;
constexpr std::int32_t txt = 51;

struct Shape {
    std::string name;
    std::int32_t type;
    std::int32_t rows;
    std::int32_t columns;
};

// A three-dimensional write: its "_dim" companion and the array itself.
void add_cube(std::vector<Shape>& list, const std::string& name, std::int32_t type, int e1, int e2, int e3) {
    list.push_back({name + "_dim", i32, 1, 3});
    list.push_back({name, type, e1 * e2, e3});
}

std::vector<Shape> physics_section() {
    const int nv = cmn_g_voxel.g_v_dimension;
    const int nfp = cmn_g_face_p.dim;
    const int nfq = cmn_g_face_q.dim;
    const int nfl = cmn_g_face_l.dim;
    const CmnDriftParam& d = cmn_drift_param;
    const CmnWindParam& w = cmn_wind_param;
    const CmnProdParam& p = cmn_prod_param;
    std::vector<Shape> list = {
        {"p_ut", f64, 1, 1},           {"p_t_index", i32, 1, 1},      {"p_ut_sec1", f64, 1, 1},
        {"p_ut_sec2", f64, 1, 1},      {"p_t_index1", i32, 1, 1},     {"p_t_index2", i32, 1, 1},
        {"p_euv_flux", f64, 1, 37},    {"p_o_voxel", f64, 1, nv},     {"p_o2_voxel", f64, 1, nv},
        {"p_n2_voxel", f64, 1, nv},    {"p_tn_voxel", f64, 1, nv},    {"p_o_surface", f64, 1, nfq},
        {"p_o2_surface", f64, 1, nfq}, {"p_n2_surface", f64, 1, nfq}, {"p_tn_surface", f64, 1, nfq},
        {"p_prod_oi", f64, 2, nv},     {"p_prod_oi_night", f64, 1, nv}, {"p_loss_beta", f64, 2, nv},
        {"p_te_voxel", f64, 1, nv},    {"p_ti_voxel", f64, 1, nv},    {"p_te_surface", f64, 1, nfq},
        {"p_ti_surface", f64, 1, nfq}, {"p_vperpm_up", f64, 2, nfp},  {"p_vperpm_h", f64, 2, nfl},
        {"p_up", f64, 1, nfq},         {"p_vparal", f64, 2, nfq},     {"p_diffus_i", f64, 2, nfq},
        {"p_diffus_e", f64, 2, nfq},   {"p_g_surface", f64, 1, nfq},  {"p_g_voxel", f64, 1, nv},
        {"drift_grid_size", i32, 1, 1}, {"drift_order", i32, 1, 1},   {"drift_flag", i32, 1, 1},
        {"drift_id_flag", i32, 1, 1},  {"drift_parameter", i32, 1, drift_parameter_count(d)},
        {"drift_grid", f64, 1, d.drift_grid_size}, {"drift_coef", f64, 1, d.drift_grid_size},
        {"drift_weight", f64, 1, d.drift_grid_size}, {"drift_delta", f64, 1, d.drift_grid_size},
        {"drift_tol", f64, 1, d.drift_grid_size}, {"drift_partial_nz", i32, nfp, 2},
    };
    add_cube(list, "drift_partial_index", i32, nfp, 4, 2);
    add_cube(list, "drift_partial", f64, nfp, 4, 2);
    const std::vector<Shape> wind = {
        {"wind_flag", i32, 1, 1},
        {"wind_id_flag", i32, 1, 1},
        {"wind_parameter", i32, 1, wind_parameter_count(w)},
        {"wind_nlon", i32, 1, 1},
        {"wind_lon", f64, 1, w.wind_nlon},
        {"wind_nlat", i32, 1, 1},
        {"wind_lat", f64, 1, w.wind_nlat},
        {"wind_nalt", i32, 1, 1},
        {"wind_alt", f64, 1, w.wind_nalt},
    };
    list.insert(list.end(), wind.begin(), wind.end());
    add_cube(list, "wind_incr_e", f64, w.wind_nalt, w.wind_nlat, w.wind_nlon);
    add_cube(list, "wind_incr_n", f64, w.wind_nalt, w.wind_nlat, w.wind_nlon);
    list.push_back({"wind_partial_nz", i32, nfq, 2});
    add_cube(list, "wind_partial_index", i32, nfq, 14, 2);
    add_cube(list, "wind_partial", f64, nfq, 14, 2);
    const std::vector<Shape> production = {
        {"prod_flag", i32, 1, 1},
        {"prod_id_flag", i32, 1, 1},
        {"prod_parameter", i32, 1, prod_parameter_count(p)},
        {"prod_nlon", i32, 1, 1},
        {"prod_lon", f64, 1, p.prod_nlon},
        {"prod_nlat", i32, 1, 1},
        {"prod_lat", f64, 1, p.prod_nlat},
        {"prod_nalt", i32, 1, 1},
        {"prod_alt", f64, 1, p.prod_nalt},
    };
    list.insert(list.end(), production.begin(), production.end());
    add_cube(list, "prod_incr", f64, p.prod_nalt, p.prod_nlat, p.prod_nlon);
    list.push_back({"prod_partial_nz", i32, nv, 2});
    add_cube(list, "prod_partial_index", i32, nv, 7, 2);
    add_cube(list, "prod_partial", f64, nv, 7, 2);
    return list;
}

std::vector<Shape> equation_section() {
    const int nv = cmn_g_voxel.g_v_dimension;
    std::vector<Shape> list = {
        {"e_t_n", f64, 1, 1},          {"e_t_0", f64, 1, 1},        {"e_t_f", f64, 1, 1},
        {"e_delta_t", f64, 1, 1},      {"e_bdry_rh_drate", f64, 1, 1}, {"e_bdry_rh_fl", i32, 1, 1},
        {"e_bdry_ph_drate", f64, 1, 1}, {"e_bdry_ph_fl", i32, 1, 1}, {"e_bdry_l_drate", f64, 1, 1},
        {"e_bdry_flux", i32, 1, 1},    {"e_status", i32, 1, nv},    {"e_active", i32, 1, e_equation.e_active_dim},
    };
    for (const char* name : {"e_oi_update", "e_oi_sens_v", "e_oi_sens_pl", "e_oi_sens_ph", "e_oi_sens_ql",
                             "e_oi_sens_qh", "e_oi_sens_ll", "e_oi_sens_lh", "e_oi_impl_v", "e_oi_impl_ql",
                             "e_oi_impl_qh"})
        list.push_back({name, f64, 1, nv});
    return list;
}

std::vector<Shape> state_section() {
    std::vector<Shape> list;
    const std::pair<const char*, std::int32_t> inputs[] = {
        {"pi_yyyymmdd", i32},       {"pi_begin_utc", f64},     {"pi_yydoy", i32},
        {"pi_ap", f64},             {"pi_f107", f64},          {"pi_f107a", f64},
        {"pi_f107y", f64},          {"pi_d_ut", f64},          {"pi_t_interp", f64},
        {"pi_euvf_factor", f64},    {"pi_o_factor", f64},      {"pi_n2_factor", f64},
        {"pi_o2_factor", f64},      {"pi_te_factor", f64},     {"pi_tn_factor", f64},
        {"pi_um_factor", f64},      {"pi_uz_factor", f64},     {"pi_nightprod_factor", f64},
        {"pi_fudge_factora", f64},  {"pi_fudge_factorb", f64}, {"pi_hilat_flag", i32},
        {"pi_plevel", i32},         {"pi_convecmdl_id", i32},  {"pi_elosspip", f64},
        {"pi_dmlon", f64},          {"pi_dmlat", f64},         {"pi_mlat_hllim4conv", f64},
        {"pi_mlat_mid2hibdry", f64},
    };
    for (const auto& [name, type] : inputs) list.push_back({name, type, 1, 1});
    for (const char* name : {"pi_inputpath", "pi_eqdrift_file", "pi_euv_file", "pi_elenergy_file", "pi_cnvccoef_file"})
        list.push_back({name, txt, 1, 255});
    list.push_back({"s_density_oi", f64, 1, cmn_g_voxel.g_v_dimension});
    return list;
}

// Every record of a snapshot with all seven flags set, after the preamble and
// the geometry section.
std::vector<Shape> model_sections(bool innovation) {
    std::vector<Shape> list = physics_section();
    for (const auto& section : {equation_section(), state_section()}) list.insert(list.end(), section.begin(), section.end());
    list.push_back({"costate_var", f64, 1, cmn_g_voxel.g_v_dimension});
    if (innovation) list.push_back({"costate_innov", f64, 1, cmn_g_voxel.g_v_dimension});
    return list;
}

constexpr std::size_t model_start = 10 + 142;

void expect_shapes(const MatFileWalk& file, const std::vector<Shape>& expected) {
    ASSERT_EQ(file.problem, "");
    ASSERT_EQ(file.records.size(), model_start + expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const MatRecord& r = file.records[model_start + k];
        const Shape& e = expected[k];
        ASSERT_EQ(r.name, e.name) << "record " << model_start + k + 1;
        EXPECT_EQ(r.type, e.type) << e.name;
        EXPECT_EQ(r.mrows, e.rows) << e.name;
        EXPECT_EQ(r.ncols, e.columns) << e.name;
    }
}

class ModelSections : public SnapshotTest {
protected:
    void SetUp() override {
        SnapshotTest::SetUp();
        build_geometry(snapshot_config("regional_eccentric"), BuildStep::voxels);
        nv_ = cmn_g_voxel.g_v_dimension;
        nfp_ = cmn_g_face_p.dim;
        nfq_ = cmn_g_face_q.dim;
    }

    MatFileWalk full_snapshot() {
        const std::int32_t all[7] = {1, 1, 1, 1, 1, 1, 1};
        take_snapshot("full.mat", all);
        return walk("full.mat");
    }

    int nv_ = 0, nfp_ = 0, nfq_ = 0;
};

TEST_F(ModelSections, UnfilledRecordsGiveZerosAndEmptyLists) {
    const MatFileWalk file = full_snapshot();
    const std::vector<Shape> expected = model_sections(false);
    ASSERT_EQ(expected.size(), 79u + 23u + 34u + 1u);
    expect_shapes(file, expected);

    // The unfilled counts: one parameter fewer than grid points, and so on.
    EXPECT_EQ(file.find("drift_parameter")->ncols, -1);
    EXPECT_EQ(file.find("wind_parameter")->ncols, -2);
    EXPECT_EQ(file.find("prod_parameter")->ncols, -1);
    EXPECT_EQ(file.find("e_active")->ncols, 0);
    EXPECT_EQ(file.find("wind_incr_e")->mrows, 0);

    for (std::size_t k = model_start; k < file.records.size(); ++k) {
        const MatRecord& r = file.records[k];
        const std::string data = file.bytes.substr(r.data_offset, r.elements * r.element_width());
        if (r.name.ends_with("_dim")) continue;
        EXPECT_EQ(data.find_first_not_of('\0'), std::string::npos) << r.name << " holds more than zeros";
    }
    const MatRecord* drift_dim = file.find("drift_partial_index_dim");
    EXPECT_EQ(file.int32_at(*drift_dim, 0), nfp_);
    EXPECT_EQ(file.int32_at(*drift_dim, 1), 4);
    EXPECT_EQ(file.int32_at(*drift_dim, 2), 2);
    const MatRecord* wind_dim = file.find("wind_incr_n_dim");
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(file.int32_at(*wind_dim, k), 0);
    EXPECT_EQ(file.find("pi_inputpath")->elements, 255u);
}

TEST_F(ModelSections, SectionsFollowInTheirOrderAfterThePreamble) {
    const MatFileWalk file = full_snapshot();
    ASSERT_EQ(file.records.size(), 289u);
    EXPECT_EQ(file.records[10].name, "d_rotate");
    EXPECT_EQ(file.records[151].name, "agrid");
    EXPECT_EQ(file.records[152].name, "p_ut");  // physics before equation
    EXPECT_EQ(file.records[231].name, "e_t_n");
    EXPECT_EQ(file.records[254].name, "pi_yyyymmdd");
    EXPECT_EQ(file.records[288].name, "costate_var");
    // Two variables named "p_ut": the snapshot time first, then the physics time.
    ASSERT_NE(file.find("p_ut", 2), nullptr);
    EXPECT_EQ(file.find("p_ut", 1), &file.records[1]);
    EXPECT_EQ(file.find("p_ut", 3), nullptr);
}

TEST_F(ModelSections, InnovationOnlyWhenTheCostateSaysSo) {
    const std::int32_t innovation_only[7] = {0, 0, 0, 0, 0, 0, 1};
    for (std::int32_t flag : {0, 2, -1, 1}) {
        costate.costate_innov_flag = flag;
        costate.costate_innov(1) = 4.5;
        take_snapshot("innov.mat", innovation_only);
        const MatFileWalk file = walk("innov.mat");
        ASSERT_EQ(file.records.size(), flag == 1 ? 11u : 10u) << "costate_innov_flag " << flag;
        if (flag != 1) continue;
        const MatRecord& r = file.records.back();
        EXPECT_EQ(r.name, "costate_innov");
        EXPECT_EQ(r.ncols, nv_);
        EXPECT_EQ(file.float64_at(r, 0), 4.5);
    }
}

// Values that tell the members apart, and grids with positive counts.
void fill_model_state(int nv, int nfp, int nfq) {
    EEquation& e = e_equation;
    e.e_t_n = 1.0;
    e.e_t_0 = 2.0;
    e.e_t_f = 3.0;
    e.e_delta_t = 4.0;
    e.e_bdry_rh_drate = 5.0;
    e.e_bdry_rh_fluxflag = 6;
    e.e_bdry_ph_drate = 7.0;
    e.e_bdry_ph_fluxflag = 8;
    e.e_bdry_l_drate = 9.0;
    e.e_bdry_fluxflag = 10;
    e.e_active_dim = 3;
    e.e_active(1) = 7;
    e.e_active(2) = 8;
    e.e_active(3) = 9;
    e.e_status(nv) = -5;
    e.e_oi_impl_qh(nv) = -4.5;

    // The physics inputs numbered in the record's declared order.
    CmnPhysicsInput& pi = cmn_physics_input;
    pi.pi_yydoy = 1;
    pi.pi_yyyymmdd = 2;
    pi.pi_begin_utc = 3.0;
    pi.pi_f107t = 4.0f;
    pi.pi_f107a = 5.0f;
    pi.pi_f107y = 6.0f;
    pi.pi_ap = 7.1f;
    pi.pi_d_ut = 8.0;
    pi.pi_t_interp = 9.0;
    pi.pi_o_factor = 10.0;
    pi.pi_n2_factor = 11.0;
    pi.pi_euvf_factor = 12.0;
    pi.pi_o2_factor = 13.0;
    pi.pi_te_factor = 14.0;
    pi.pi_tn_factor = 15.0;
    pi.pi_um_factor = 16.0;
    pi.pi_uz_factor = 17.0;
    pi.pi_nightprod_factor = 18.0;
    pi.pi_fudge_factora = 19.0;
    pi.pi_fudge_factorb = 20.0;
    pi.pi_elosspip = 21.0;
    pi.pi_dmlon = 22.0;
    pi.pi_dmlat = 23.0;
    pi.pi_convecmdl_id = 24;
    pi.pi_hilat_flag = 25;
    pi.pi_plevel = 26;
    pi.pi_mlat_hllim4conv = 27.0;
    pi.pi_mlat_mid2hibdry = 28.0;
    pi.p_sod = 20.0;
    const std::string path = "/data/inputs";
    for (int k = 1; k <= 255; ++k) pi.pi_inputpath(k) = k <= 12 ? path[static_cast<std::size_t>(k - 1)] : ' ';
    s_state1.s_density_oi(1) = 1.0e11;
    costate.costate_var(nv) = 2.5;
    costate.costate_innov_flag = 1;
    costate.costate_innov(1) = -3.0;

    // The first element of each physics field numbered in declaration order.
    cmn_p_neutrals.p_o_voxel(1) = 101.0;
    cmn_p_neutrals.p_o2_voxel(1) = 102.0;
    cmn_p_neutrals.p_n2_voxel(1) = 103.0;
    cmn_p_neutrals.p_tn_voxel(1) = 104.0;
    cmn_p_neutrals.p_o_surface(1) = 105.0;
    cmn_p_neutrals.p_o2_surface(1) = 106.0;
    cmn_p_neutrals.p_n2_surface(1) = 107.0;
    cmn_p_neutrals.p_tn_surface(1) = 108.0;
    cmn_production.p_prod_oi(1, 1) = 109.0;
    cmn_p_prod_night.p_prod_oi_night(1) = 110.0;
    cmn_loss.p_loss_beta(1, 1) = 111.0;
    cmn_p_temperature.p_te_voxel(1) = 112.0;
    cmn_p_temperature.p_ti_voxel(1) = 113.0;
    cmn_p_temperature.p_te_surface(1) = 114.0;
    cmn_p_temperature.p_ti_surface(1) = 115.0;
    cmn_ion_velocity.p_vperpm_up(1, 1) = 116.0;
    cmn_ion_velocity.p_vperpm_h(1, 1) = 117.0;
    cmn_ion_velocity.p_vparal(1, 1) = 118.0;
    cmn_ion_velocity.p_diffus_i(1, 1) = 119.0;
    cmn_ion_velocity.p_diffus_e(1, 1) = 120.0;
    cmn_p_wind.p_up(1) = 121.0;
    cmn_p_gravity.p_g_surface(1) = 122.0;
    cmn_p_gravity.p_g_voxel(1) = 123.0;
    // The per-voxel equation arrays numbered in declaration order.
    e.e_oi_update(1) = 201.0;
    e.e_oi_sens_v(1) = 202.0;
    e.e_oi_sens_pl(1) = 203.0;
    e.e_oi_sens_ph(1) = 204.0;
    e.e_oi_sens_ql(1) = 205.0;
    e.e_oi_sens_qh(1) = 206.0;
    e.e_oi_sens_ll(1) = 207.0;
    e.e_oi_sens_lh(1) = 208.0;
    e.e_oi_impl_v(1) = 209.0;
    e.e_oi_impl_ql(1) = 210.0;
    e.e_oi_impl_qh(1) = 211.0;

    cmn_p_ut.p_ut = 77.5;
    cmn_p_euvflux.p_euv_flux(37) = 37.0;
    cmn_production.p_prod_oi(2, nv) = 6.0;
    cmn_ion_velocity.p_vperpm_up(1, nfp) = 8.0;
    cmn_p_wind.p_up(nfq) = 11.0;
    cmn_p_gravity.p_g_surface(nfq) = 9.81;

    CmnDriftParam& d = cmn_drift_param;
    d.drift_grid_size = 3;
    d.drift_parameter(2) = 12;
    d.drift_grid(3) = 30.0;
    d.drift_tol(3) = 0.03;
    d.drift_partial_nz(nfp, 2) = 4;
    d.drift_partial_index(nfp, 4, 2) = 5;
    d.drift_partial(1, 1, 1) = 0.5;

    CmnWindParam& w = cmn_wind_param;
    w.wind_nlon = 3;
    w.wind_nlat = 4;
    w.wind_nalt = 2;
    w.wind_lat(4) = 80.0;
    for (int l = 1; l <= 3; ++l)
        for (int j = 1; j <= 4; ++j)
            for (int k = 1; k <= 2; ++k) w.wind_incr_e(k, j, l) = 100.0 * k + 10.0 * j + l;
    w.wind_partial(nfq, 14, 2) = -7.0;

    CmnProdParam& p = cmn_prod_param;
    p.prod_nlon = 2;
    p.prod_nlat = 3;
    p.prod_nalt = 2;
    p.prod_incr(2, 3, 2) = 42.0;
    p.prod_partial_nz(nv, 1) = 1;
}

TEST_F(ModelSections, FilledRecordsReachTheirVariables) {
    fill_model_state(nv_, nfp_, nfq_);
    const MatFileWalk file = full_snapshot();
    expect_shapes(file, model_sections(true));

    EXPECT_EQ(file.float64_at(*file.find("p_ut", 1), 0), 23.0);  // pi_begin_utc + p_sod
    EXPECT_EQ(file.float64_at(*file.find("p_ut", 2), 0), 77.5);
    const char* equation[] = {"e_t_n", "e_t_0", "e_t_f", "e_delta_t", "e_bdry_rh_drate", "e_bdry_rh_fl",
                              "e_bdry_ph_drate", "e_bdry_ph_fl", "e_bdry_l_drate", "e_bdry_flux"};
    for (int k = 0; k < 10; ++k) {
        const MatRecord& r = *file.find(equation[k]);
        EXPECT_EQ(r.type == i32 ? file.int32_at(r, 0) : file.float64_at(r, 0), k + 1.0) << equation[k];
    }
    const MatRecord& active = *file.find("e_active");
    ASSERT_EQ(active.ncols, 3);
    EXPECT_EQ(file.int32_at(active, 2), 9);

    // The inputs in the section's order, by their numbers in the record.
    const double inputs[28] = {2, 3, 1, 7.1f, 4, 5, 6, 8, 9, 12, 10, 11, 13, 14,
                               15, 16, 17, 18, 19, 20, 25, 26, 24, 21, 22, 23, 27, 28};
    const std::size_t st = 152 + 79 + 23;
    for (std::size_t k = 0; k < 28; ++k) {
        const MatRecord& r = file.records[st + k];
        EXPECT_EQ(r.type == i32 ? file.int32_at(r, 0) : file.float64_at(r, 0), inputs[k]) << r.name;
    }
    // Singles go out as the doubles they widen to, not as the nearest doubles.
    EXPECT_NE(file.float64_at(*file.find("pi_ap"), 0), 7.1);

    // The physics fields in the section's order: "p_up" after "p_vperpm_h".
    const double fields[23] = {101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112,
                               113, 114, 115, 116, 117, 121, 118, 119, 120, 122, 123};
    for (std::size_t k = 0; k < 23; ++k) {
        const MatRecord& r = file.records[152 + 7 + k];
        EXPECT_EQ(file.float64_at(r, 0), fields[k]) << r.name;
    }
    // After the ten scalars, e_status and e_active: the per-voxel arrays in order.
    for (std::size_t k = 0; k < 11; ++k) {
        const MatRecord& r = file.records[152 + 79 + 12 + k];
        EXPECT_EQ(file.float64_at(r, 0), 201.0 + static_cast<double>(k)) << r.name;
    }
    EXPECT_EQ(file.text_of(*file.find("pi_inputpath")), "/data/inputs" + std::string(243, ' '));
    EXPECT_EQ(file.text_of(*file.find("pi_euv_file")), std::string(255, '\0'));

    // 3 longitudes, 4 latitudes, 2 altitudes: 12 wind parameters; the
    // increments as 8 x 3, element (k, j, l) at row (j - 1) 2 + k, column l.
    EXPECT_EQ(file.find("wind_parameter")->ncols, 12);
    const MatRecord& dim = *file.find("wind_incr_e_dim");
    EXPECT_EQ(file.int32_at(dim, 0), 2);
    EXPECT_EQ(file.int32_at(dim, 1), 4);
    EXPECT_EQ(file.int32_at(dim, 2), 3);
    const MatRecord& incr = *file.find("wind_incr_e");
    for (int l = 1; l <= 3; ++l)
        for (int j = 1; j <= 4; ++j)
            for (int k = 1; k <= 2; ++k)
                EXPECT_EQ(file.float64_at(incr, static_cast<std::size_t>((l - 1) * 8 + (j - 1) * 2 + k - 1)),
                          100.0 * k + 10.0 * j + l);
    EXPECT_EQ(file.find("prod_parameter")->ncols, 2);
    EXPECT_EQ(file.find("drift_parameter")->ncols, 2);
    EXPECT_EQ(file.int32_at(*file.find("drift_partial_nz"), static_cast<std::size_t>(2 * nfp_ - 1)), 4);
    EXPECT_EQ(file.float64_at(*file.find("p_prod_oi"), static_cast<std::size_t>(2 * nv_ - 1)), 6.0);
}

std::string printed(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

TEST_F(ModelSections, ScipyReadsTheFilledSnapshot) {
    fill_model_state(nv_, nfp_, nfq_);
    const MatFileWalk file = full_snapshot();

    std::ofstream out(dir_ / "expected.txt");
    const char* preamble[] = {"e_t_c", "p_ut", "p_sod", "geo_flag", "ph_flag", "eq_flag", "st_flag", "cov_flag",
                              "co_st_flag", "innov_flag"};
    for (int k = 0; k < 10; ++k) out << "var " << preamble[k] << (k < 3 ? " float64" : " int32") << " 1 1\n";
    write_reader_view(out, file, 10, geometry_variables);
    for (const Shape& s : model_sections(true))
        out << "var " << s.name << (s.type == i32 ? " int32 " : s.type == txt ? " text " : " float64 ") << s.rows
            << " " << s.columns << "\n";
    const struct {
        const char* name;
        int row, column;
        double value;
    } samples[] = {
        {"p_sod", 1, 1, 20.0},           {"cov_flag", 1, 1, 1.0},          {"p_ut", 1, 1, 77.5},
        {"e_bdry_flux", 1, 1, 10.0},     {"e_status", 1, nv_, -5.0},       {"e_active", 1, 1, 7.0},
        {"e_oi_impl_qh", 1, nv_, -4.5},  {"pi_yyyymmdd", 1, 1, 2.0},      {"pi_ap", 1, 1, static_cast<double>(7.1f)},
        {"pi_f107y", 1, 1, 6.0},         {"pi_convecmdl_id", 1, 1, 24.0},  {"s_density_oi", 1, 1, 1.0e11},
        {"costate_var", 1, nv_, 2.5},    {"costate_innov", 1, 1, -3.0},    {"p_euv_flux", 1, 37, 37.0},
        {"p_prod_oi", 2, nv_, 6.0},      {"p_vperpm_up", 1, nfp_, 8.0},    {"p_up", 1, nfq_, 11.0},
        {"p_g_surface", 1, nfq_, 9.81},  {"drift_parameter", 1, 2, 12.0},  {"drift_tol", 1, 3, 0.03},
        {"drift_partial_nz", nfp_, 2, 4.0}, {"drift_partial_index", nfp_ * 4, 2, 5.0},
        {"drift_partial", 1, 1, 0.5},    {"wind_lat", 1, 4, 80.0},         {"wind_incr_e", 3, 2, 122.0},
        {"wind_incr_e", 8, 3, 243.0},    {"wind_partial", nfq_ * 14, 2, -7.0}, {"prod_incr", 6, 2, 42.0},
        {"prod_partial_nz", nv_, 1, 1.0},
    };
    for (const auto& s : samples)
        out << "val " << s.name << " " << s.row << " " << s.column << " " << printed(s.value) << " 0\n";
    out << "text pi_inputpath /data/inputs" << std::string(243, ' ') << "\n";
    out << "text pi_euv_file \n";
    out.close();

    const RunResult scipy = run_command(dir_, {"/usr/bin/python3", VORN_SOURCE_DIR "/tests/snapshot/check_snapshot.py",
                                                   "full.mat", "expected.txt"});
    EXPECT_EQ(scipy.exit_status, 0) << scipy.err;
}

TEST_F(ModelSections, CountBeyondItsArrayEndsTheRunNamingTheArray) {
    cmn_drift_param.drift_grid_size = 20;  // drift_grid holds 20, drift_coef 19
    std::string report = abnormal_end_report([] { snap_ph(); });
    EXPECT_NE(report.find("Subscript number 1 has value 20 in array 'DRIFT_COEF'"), std::string::npos) << report;
    EXPECT_NE(report.find("snap_ph.cpp"), std::string::npos) << report;

    e_equation.e_active_dim = 100001;
    report = abnormal_end_report([] { snap_eq(); });
    EXPECT_NE(report.find("has value 100001 in array 'E_ACTIVE'"), std::string::npos) << report;
}

}  // namespace
}  // namespace vorn::test
