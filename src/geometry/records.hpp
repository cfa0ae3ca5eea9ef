// Global records of the geometry: configuration, magnetic frame, grid axes,
// cell status, voxels and faces.
//
// Every record is one global object in static storage: it exists for the whole
// run and starts zeroed; nothing is allocated.  Arrays are 1-based and
// column-major (checked_array.hpp); three-dimensional tables are indexed
// (p, q, l).  Members stand in their declared order.
//
// Units: radii and altitudes in metres (the stretching-knot altitudes
// GR_CONTROL_ALT in kilometres), angles in degrees, p in Earth radii,
// q dimensionless; Re = 6371200.0 m.
#pragma once

#include <cstdint>
#include <type_traits>

#include "checked_array/checked_array.hpp"
#include "geometry/constants.hpp"

namespace vorn {

// Group NML_IO_FLAGS: ten output switches, in the group's order.
struct CmnIoFlags {
    std::int32_t IO_GEOMETRY_FLAG;
    std::int32_t IO_PHYSICS_FLAG;
    std::int32_t IO_STATE_FLAG;
    std::int32_t IO_EQUATION_FLAG;
    std::int32_t IO_OPTIMIZE_FLAG;
    std::int32_t IO_OSSEDATA_FLAG;
    std::int32_t IO_EXBDRIFT_FLAG;
    std::int32_t IO_APROD_FLAG;
    std::int32_t IO_COVARIANCE_FLAG;
    std::int32_t IO_WRITE_INITIAL_FLAG;
};

// Group NML_GR_INPUT: the sixteen geometry items, in the group's order.
struct CmnGrInput {
    double GR_I_MLON_LOW;        // deg, one end of the magnetic-longitude range
    double GR_I_MLON_HIGH;       // deg, the other end
    double GR_I_DMLON;           // deg, wanted longitude step
    double GR_I_MLAT_HLBDRY;     // deg, magnetic latitude of the high-latitude boundary
    double GR_I_GLAT_MLTRANS;    // deg, geographic latitude of the mid/high transition
    double GR_I_DMLAT_EQALT300;  // deg, latitude step near the equator (q spacing)
    double GR_I_DMLAT_HLALT300;  // deg, latitude step of the high-latitude p lines
    double GR_I_GALT_4HLP;       // m, altitude of the high-latitude p lines
    double GR_I_GALT_LOWBDRY;    // m, lower boundary of the voxel shell
    double GR_I_GALT_LOWLIM;     // m, altitude limit of lower-boundary voxels
    double GR_I_GALT_HIBDRY;     // m, upper boundary used by the p grid
    double GR_I_GALT_HICUTOFF;   // m, upper cut-off of the voxel shell
    double GR_I_DGALT_EQALT600;  // m, radial step at the equator (p spacing)
    double GR_I_DGALT_MLALT600;  // m, radial step at mid latitude (q spacing)
    std::int32_t GR_I_MAG_TYPE;  // 1 geographic, 2 centred dipole, 3 eccentric; others as 2
    double GR_I_BULGE_MAX_LAT;   // deg, stored only
};

// Group NML_GR_P_TRANS and the knot tables of the field-line stretching.
struct CmnGrPTrans {
    std::int32_t GR_N_CONTROL;                                  // number of knots
    Array1<double, max_knots, "GR_CONTROL_ALT"> GR_CONTROL_ALT; // km above Re
    Array1<double, max_knots, "GR_SIZE_RATIO"> GR_SIZE_RATIO;   // relative step dp/ds
    Array1<double, max_knots, "GR_P_KNOTS"> GR_P_KNOTS;         // p of each knot
    Array1<double, max_knots, "GR_S_KNOTS"> GR_S_KNOTS;         // s of each knot, 0..1
    Array1<double, max_knots, "GR_DP_DS"> GR_DP_DS;             // dp/ds at each knot
};

// The magnetic frame: geographic Cartesian = d_rotate * magnetic Cartesian + d_shift.
struct DDipole {
    Array2<double, 3, 3, "D_ROTATE"> d_rotate;  // column 3 is the dipole axis
    Array1<double, 3, "D_SHIFT"> d_shift;       // m, dipole centre
    std::int32_t d_mag_type;
};

// The codes of gr_stat besides a voxel number (> 0): a cell with no corner
// inside the voxel shell lies below it, or above it when a corner lies above
// the cut-off; while set_status runs, a cell with a corner inside is
// unnumbered_voxel until its voxel number comes.
inline constexpr std::int32_t below_shell = -1;
inline constexpr std::int32_t above_shell = -2;
inline constexpr std::int32_t unnumbered_voxel = 0;

// Grid axes, flags and the status of every cell.
struct GrGrid {
    std::int32_t gr_np;
    Array1<double, max_grid_p, "GR_P"> gr_p;  // Earth radii, ascending
    double gr_midlat_pmax;                    // never assigned: 0.0
    std::int32_t gr_nq;
    Array1<double, max_grid_q, "GR_Q"> gr_q;  // ascending, symmetric about 0.0
    std::int32_t gr_nl;
    Array1<double, max_grid_l, "GR_L"> gr_l;  // deg, ascending
    bool gr_glb;         // full circle in l
    bool gr_2d;          // two longitude values only
    bool gr_reg;         // regional in l
    bool gr_polar_flag;  // the top row of cells in p meets the opposite longitude
    // Cell status: voxel number (> 0), below_shell or above_shell.
    Array3<std::int32_t, max_cells_p, max_cells_q, max_cells_l, "GR_STAT"> gr_stat;
};

template <ArrayName Name>
using VoxelReal = Array1<double, voxel_slots, Name>;
template <ArrayName Name>
using VoxelInt = Array1<std::int32_t, voxel_slots, Name>;
template <ArrayName Name>
using BoundaryList = Array1<std::int32_t, max_boundary, Name>;

// The voxels: positions, scale factors, widths, faces, neighbours, boundary lists.
struct CmnGVoxel {
    std::int32_t g_v_dimension;
    VoxelReal<"G_V_G_RADIUS"> g_v_g_radius;
    VoxelReal<"G_V_G_LATITUDE"> g_v_g_latitude;
    VoxelReal<"G_V_G_LONGITUDE"> g_v_g_longitude;
    VoxelReal<"G_V_M_RADIUS"> g_v_m_radius;
    VoxelReal<"G_V_M_LATITUDE"> g_v_m_latitude;
    VoxelReal<"G_V_M_LONGITUDE"> g_v_m_longitude;
    VoxelReal<"G_V_G_X"> g_v_g_x;
    VoxelReal<"G_V_G_Y"> g_v_g_y;
    VoxelReal<"G_V_G_Z"> g_v_g_z;
    VoxelReal<"G_V_M_X"> g_v_m_x;
    VoxelReal<"G_V_M_Y"> g_v_m_y;
    VoxelReal<"G_V_M_Z"> g_v_m_z;
    VoxelReal<"G_V_M_P"> g_v_m_p;
    VoxelReal<"G_V_M_Q"> g_v_m_q;
    VoxelReal<"G_V_SCALE_P"> g_v_scale_p;
    VoxelReal<"G_V_SCALE_Q"> g_v_scale_q;
    VoxelReal<"G_V_SCALE_L"> g_v_scale_l;
    VoxelReal<"G_V_VOLUME"> g_v_volume;
    VoxelReal<"G_V_WIDTH_P"> g_v_width_p;
    VoxelReal<"G_V_WIDTH_Q"> g_v_width_q;
    VoxelReal<"G_V_WIDTH_L"> g_v_width_l;
    VoxelInt<"G_V_FACE_PL"> g_v_face_pl;
    VoxelInt<"G_V_FACE_PH"> g_v_face_ph;
    VoxelInt<"G_V_FACE_QL"> g_v_face_ql;
    VoxelInt<"G_V_FACE_QH"> g_v_face_qh;
    VoxelInt<"G_V_FACE_LL"> g_v_face_ll;
    VoxelInt<"G_V_FACE_LH"> g_v_face_lh;
    VoxelInt<"G_V_NEIGHBOR_PL"> g_v_neighbor_pl;
    VoxelInt<"G_V_NEIGHBOR_PH"> g_v_neighbor_ph;
    VoxelInt<"G_V_NEIGHBOR_QL"> g_v_neighbor_ql;
    VoxelInt<"G_V_NEIGHBOR_QH"> g_v_neighbor_qh;
    VoxelInt<"G_V_NEIGHBOR_LL"> g_v_neighbor_ll;
    VoxelInt<"G_V_NEIGHBOR_LH"> g_v_neighbor_lh;
    std::int32_t g_v_bdry_rl_dim;
    BoundaryList<"G_V_BOUNDARY_RL"> g_v_boundary_rl;  // lower radial boundary
    std::int32_t g_v_bdry_rh_dim;
    BoundaryList<"G_V_BOUNDARY_RH"> g_v_boundary_rh;  // upper radial boundary
    std::int32_t g_v_bdry_ph_dim;
    BoundaryList<"G_V_BOUNDARY_PH"> g_v_boundary_ph;  // high-p edge
    std::int32_t g_v_bdry_ll_dim;
    BoundaryList<"G_V_BOUNDARY_LL"> g_v_boundary_ll;  // low-longitude edge
    std::int32_t g_v_bdry_lh_dim;
    BoundaryList<"G_V_BOUNDARY_LH"> g_v_boundary_lh;  // high-longitude edge
};

// What a member of a face record holds.  Each writer of the faces (the report,
// the snapshot) names the groups it writes in its own order and gets each
// group's members in the order of the member list below.
enum class FaceGroup {
    geographic_position,  // g_radius .. g_z, at the face centre
    magnetic_position,    // m_radius .. m_z
    coordinates,          // m_p, m_q
    area,
    voxel_pair,           // (1, f) the low side, (2, f) the high side
    geographic_normal,    // nml_g_rad .. nml_g_z
    magnetic_normal,      // nml_m_rad .. nml_m_z
    scale,                // scale_p, scale_q, scale_l
};

// A face record of capacity N: the faces across one axis.  The members are
// named without the record's prefix (cmn_g_face_p.m_p is g_fp_m_p); their
// array names carry it (G_FP_M_P), and so do the snapshot variables.  The normal points towards increasing p, q or longitude, from the
// voxel in (1, f) of the pair to the voxel in (2, f).
template <int N, ArrayName Prefix>
struct FaceRecord {
    static constexpr int capacity = N;
    template <ArrayName Member>
    using Real = Array1<double, N, joined_name<Prefix, Member>>;

    std::int32_t dim;
    Real<"_G_RADIUS"> g_radius;
    Real<"_G_LATITUDE"> g_latitude;
    Real<"_G_LONGITUDE"> g_longitude;
    Real<"_G_X"> g_x;
    Real<"_G_Y"> g_y;
    Real<"_G_Z"> g_z;
    Real<"_M_RADIUS"> m_radius;
    Real<"_M_LATITUDE"> m_latitude;
    Real<"_M_LONGITUDE"> m_longitude;
    Real<"_M_X"> m_x;
    Real<"_M_Y"> m_y;
    Real<"_M_Z"> m_z;
    Real<"_M_P"> m_p;
    Real<"_M_Q"> m_q;
    Real<"_AREA"> area;
    Array2<std::int32_t, 2, N, joined_name<Prefix, "_VOXEL">> voxel;
    Real<"_NML_G_RAD"> nml_g_rad;
    Real<"_NML_G_LAT"> nml_g_lat;
    Real<"_NML_G_LON"> nml_g_lon;
    Real<"_NML_G_X"> nml_g_x;
    Real<"_NML_G_Y"> nml_g_y;
    Real<"_NML_G_Z"> nml_g_z;
    Real<"_NML_M_RAD"> nml_m_rad;
    Real<"_NML_M_LAT"> nml_m_lat;
    Real<"_NML_M_LON"> nml_m_lon;
    Real<"_NML_M_X"> nml_m_x;
    Real<"_NML_M_Y"> nml_m_y;
    Real<"_NML_M_Z"> nml_m_z;
    Real<"_SCALE_P"> scale_p;
    Real<"_SCALE_Q"> scale_q;
    Real<"_SCALE_L"> scale_l;
};

// The members of a face record that belong to group G, handed to visit with
// the group as a compile-time tag.
template <FaceGroup G, class Visit, class... Members>
constexpr void visit_group(Visit& visit, Members&... members) {
    (visit(std::integral_constant<FaceGroup, G>{}, members), ...);
}

// The member list of the face records: every member array with its group, in
// the order of the record.  A new face quantity is a member above and its
// name here (records.cpp does not build until it is).
template <class Face, class Visit>
constexpr void for_each_face_member(Face& f, Visit&& visit) {
    using G = FaceGroup;
    visit_group<G::geographic_position>(visit, f.g_radius, f.g_latitude, f.g_longitude, f.g_x, f.g_y, f.g_z);
    visit_group<G::magnetic_position>(visit, f.m_radius, f.m_latitude, f.m_longitude, f.m_x, f.m_y, f.m_z);
    visit_group<G::coordinates>(visit, f.m_p, f.m_q);
    visit_group<G::area>(visit, f.area);
    visit_group<G::voxel_pair>(visit, f.voxel);
    visit_group<G::geographic_normal>(visit, f.nml_g_rad, f.nml_g_lat, f.nml_g_lon, f.nml_g_x, f.nml_g_y, f.nml_g_z);
    visit_group<G::magnetic_normal>(visit, f.nml_m_rad, f.nml_m_lat, f.nml_m_lon, f.nml_m_x, f.nml_m_y, f.nml_m_z);
    visit_group<G::scale>(visit, f.scale_p, f.scale_q, f.scale_l);
}

// The members of group G alone, in the order of the list.
template <FaceGroup G, class Face, class Visit>
void for_each_face_member_of(Face& f, Visit& visit) {
    for_each_face_member(f, [&](auto group, auto& member) {
        if constexpr (decltype(group)::value == G) visit(member);
    });
}

// The members of the given groups, group after group in the order given.
template <FaceGroup... Groups, class Face, class Visit>
void for_each_face_member_in(Face& f, Visit&& visit) {
    (for_each_face_member_of<Groups>(f, visit), ...);
}

using CmnGFaceP = FaceRecord<max_p_faces, "G_FP">;
using CmnGFaceQ = FaceRecord<max_q_faces, "G_FQ">;
using CmnGFaceL = FaceRecord<max_l_faces, "G_FL">;

extern CmnIoFlags cmn_io_flags;
extern CmnGrInput cmn_gr_input;
extern CmnGrPTrans cmn_gr_p_trans;
extern DDipole d_dipole;
extern GrGrid gr_grid;
extern CmnGVoxel cmn_g_voxel;
extern CmnGFaceP cmn_g_face_p;
extern CmnGFaceQ cmn_g_face_q;
extern CmnGFaceL cmn_g_face_l;

// Zeroes all of the records above, as the run starts them: for harnesses that
// build geometries more than once in one process.
void reset_geometry_records();

}  // namespace vorn
