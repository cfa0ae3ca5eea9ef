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

#include "geometry/constants.hpp"
#include "runtime/checked_array.hpp"

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
    // Cell status: voxel number (> 0), -1 at or below the shell, -2 above it.
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

// The three face records share one layout; their members carry the prefix
// g_fp_, g_fq_ or g_fl_ and their array names the upper-case prefix.  The
// normal points towards increasing p, q or longitude, from the voxel in (1, f)
// of the pair to the voxel in (2, f).
#define VORN_FACE_RECORD(Record, pre, PRE, N)                                  \
    struct Record {                                                           \
        std::int32_t pre##_dim;                                               \
        Array1<double, N, #PRE "_G_RADIUS"> pre##_g_radius;                   \
        Array1<double, N, #PRE "_G_LATITUDE"> pre##_g_latitude;               \
        Array1<double, N, #PRE "_G_LONGITUDE"> pre##_g_longitude;             \
        Array1<double, N, #PRE "_G_X"> pre##_g_x;                             \
        Array1<double, N, #PRE "_G_Y"> pre##_g_y;                             \
        Array1<double, N, #PRE "_G_Z"> pre##_g_z;                             \
        Array1<double, N, #PRE "_M_RADIUS"> pre##_m_radius;                   \
        Array1<double, N, #PRE "_M_LATITUDE"> pre##_m_latitude;               \
        Array1<double, N, #PRE "_M_LONGITUDE"> pre##_m_longitude;             \
        Array1<double, N, #PRE "_M_X"> pre##_m_x;                             \
        Array1<double, N, #PRE "_M_Y"> pre##_m_y;                             \
        Array1<double, N, #PRE "_M_Z"> pre##_m_z;                             \
        Array1<double, N, #PRE "_M_P"> pre##_m_p;                             \
        Array1<double, N, #PRE "_M_Q"> pre##_m_q;                             \
        Array1<double, N, #PRE "_AREA"> pre##_area;                           \
        Array2<std::int32_t, 2, N, #PRE "_VOXEL"> pre##_voxel;                \
        Array1<double, N, #PRE "_NML_G_RAD"> pre##_nml_g_rad;                 \
        Array1<double, N, #PRE "_NML_G_LAT"> pre##_nml_g_lat;                 \
        Array1<double, N, #PRE "_NML_G_LON"> pre##_nml_g_lon;                 \
        Array1<double, N, #PRE "_NML_G_X"> pre##_nml_g_x;                     \
        Array1<double, N, #PRE "_NML_G_Y"> pre##_nml_g_y;                     \
        Array1<double, N, #PRE "_NML_G_Z"> pre##_nml_g_z;                     \
        Array1<double, N, #PRE "_NML_M_RAD"> pre##_nml_m_rad;                 \
        Array1<double, N, #PRE "_NML_M_LAT"> pre##_nml_m_lat;                 \
        Array1<double, N, #PRE "_NML_M_LON"> pre##_nml_m_lon;                 \
        Array1<double, N, #PRE "_NML_M_X"> pre##_nml_m_x;                     \
        Array1<double, N, #PRE "_NML_M_Y"> pre##_nml_m_y;                     \
        Array1<double, N, #PRE "_NML_M_Z"> pre##_nml_m_z;                     \
        Array1<double, N, #PRE "_SCALE_P"> pre##_scale_p;                     \
        Array1<double, N, #PRE "_SCALE_Q"> pre##_scale_q;                     \
        Array1<double, N, #PRE "_SCALE_L"> pre##_scale_l;                     \
    }

VORN_FACE_RECORD(CmnGFaceP, g_fp, G_FP, max_p_faces);
VORN_FACE_RECORD(CmnGFaceQ, g_fq, G_FQ, max_q_faces);
VORN_FACE_RECORD(CmnGFaceL, g_fl, G_FL, max_l_faces);
#undef VORN_FACE_RECORD

extern CmnIoFlags cmn_io_flags;
extern CmnGrInput cmn_gr_input;
extern CmnGrPTrans cmn_gr_p_trans;
extern DDipole d_dipole;
extern GrGrid gr_grid;
extern CmnGVoxel cmn_g_voxel;
extern CmnGFaceP cmn_g_face_p;
extern CmnGFaceQ cmn_g_face_q;
extern CmnGFaceL cmn_g_face_l;

}  // namespace vorn
