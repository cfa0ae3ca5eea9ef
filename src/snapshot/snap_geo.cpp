#include "snapshot/snap_geo.hpp"

#include <cstdint>
#include <cstddef>

#include "geometry/dipole.hpp"
#include "geometry/frame.hpp"
#include "geometry/records.hpp"
#include "matfile/matfile.hpp"
#include "runtime/byte_output.hpp"
#include "runtime/free_format.hpp"
#include "runtime/units.hpp"
#include "snapshot/mat_variables.hpp"

namespace vorn {

namespace {

// The 31 variables of a face kind, in the section's order (not the record's:
// the voxel pair, p and q first, the area after the normals).
template <class Face>
void write_faces(const Face& faces) {
    using G = FaceGroup;
    for_each_face_member_in<G::voxel_pair, G::coordinates, G::magnetic_position, G::geographic_position,
                            G::geographic_normal, G::magnetic_normal, G::area, G::scale>(
        faces, [&](const auto& member) {
            if constexpr (requires { member.extent2; })
                write_variable(matrix(member, 2, faces.dim));
            else
                write_variable(row(member, faces.dim));
        });
}

// Variables 1 to 141, straight from the records.
void write_records() {
    static constexpr std::int32_t voxel_capacity = max_voxel;
    const GrGrid& g = gr_grid;
    const CmnGVoxel& v = cmn_g_voxel;
    const std::int32_t nv = v.g_v_dimension;

    const MatVariable voxels[] = {
        matrix(d_dipole.d_rotate, 3, 3),
        row(g.gr_p, g.gr_np),
        row(g.gr_q, g.gr_nq),
        row(g.gr_l, g.gr_nl),
        scalar("gr_midlat_pmax", g.gr_midlat_pmax),
        cube(g.gr_stat, g.gr_np - 1, g.gr_nq - 1, g.gr_nl - 1),
        scalar("gr_glb", g.gr_glb),
        scalar("gr_2d", g.gr_2d),
        scalar("gr_reg", g.gr_reg),
        scalar("gr_polar_flag", g.gr_polar_flag),
        row(v.g_v_neighbor_pl, nv),
        row(v.g_v_neighbor_ph, nv),
        row(v.g_v_neighbor_ql, nv),
        row(v.g_v_neighbor_qh, nv),
        row(v.g_v_neighbor_ll, nv),
        row(v.g_v_neighbor_lh, nv),
        row(v.g_v_face_pl, nv),
        row(v.g_v_face_ph, nv),
        row(v.g_v_face_ql, nv),
        row(v.g_v_face_qh, nv),
        row(v.g_v_face_ll, nv),
        row(v.g_v_face_lh, nv),
        row(v.g_v_m_p, nv),
        row(v.g_v_m_q, nv),
        row(v.g_v_m_radius, nv),
        row(v.g_v_m_latitude, nv),
        row(v.g_v_m_longitude, nv),
        row(v.g_v_m_x, nv),
        row(v.g_v_m_y, nv),
        row(v.g_v_m_z, nv),
        row(v.g_v_g_radius, nv),
        row(v.g_v_g_latitude, nv),
        row(v.g_v_g_longitude, nv),
        row(v.g_v_g_x, nv),
        row(v.g_v_g_y, nv),
        row(v.g_v_g_z, nv),
        row(v.g_v_width_p, nv),
        row(v.g_v_width_q, nv),
        row(v.g_v_width_l, nv),
        row(v.g_v_volume, nv),
        row(v.g_v_scale_p, nv),
        row(v.g_v_scale_q, nv),
        row(v.g_v_scale_l, nv),
    };
    write_variables(voxels);
    write_faces(cmn_g_face_p);
    write_faces(cmn_g_face_q);
    write_faces(cmn_g_face_l);
    const MatVariable boundaries[] = {
        row(v.g_v_boundary_rl, v.g_v_bdry_rl_dim),
        row(v.g_v_boundary_rh, v.g_v_bdry_rh_dim),
        row(v.g_v_boundary_ph, v.g_v_bdry_ph_dim),
        scalar("max_voxel", voxel_capacity),
    };
    write_variables(boundaries);
}

// Which bounding faces of its voxel each corner of a round takes in p and q.
struct Corner {
    bool high_p;
    bool high_q;
};
constexpr Corner round_corners[4] = {{false, false}, {true, false}, {true, true}, {false, true}};

// One column of "agrid" to the snapshot file, in memory order.
void write_agrid_column(const double* column, std::size_t count) {
    const std::size_t bytes = count * sizeof(double);
    // A refusal never depends on the byte: either all went out or none.
    if (write_bytes(snapshot_unit, column, bytes) == 0) return;
    for (std::size_t k = 0; k < bytes; ++k) FreeLine(error_unit) << "snap_geo: Error in writing the output file.";
}

// Variable 142: the header, then the corners of each voxel, computed one voxel
// at a time and streamed behind it.  Corners 1 to 4 go round the voxel at its
// low longitude and corners 5 to 8 repeat the round at its high longitude:
// same p and q, so pq2polar runs on the first four alone.
void write_agrid() {
    static Array1<double, 4, "P"> p;
    static Array1<double, 4, "Q"> q;
    static Array1<double, 8, "LONGITUDE"> longitude;
    static Array1<double, 8, "MRAD"> mrad;
    static Array1<double, 8, "MLAT"> mlat;
    static Array1<double, 8, "AMX"> amx;
    static Array1<double, 8, "AMY"> amy;
    static Array1<double, 8, "AMZ"> amz;
    static Array1<double, 8, "GRAD"> grad;
    static Array1<double, 8, "GLAT"> glat;
    static Array1<double, 8, "GLON"> glon;
    static Array1<double, 8, "AGX"> agx;
    static Array1<double, 8, "AGY"> agy;
    static Array1<double, 8, "AGZ"> agz;
    static Array1<double, 24, "COLUMN"> column;

    const CmnGVoxel& v = cmn_g_voxel;
    savehd(snapshot_unit, 24, v.g_v_dimension, "agrid", 5, 0, 0);
    for (int i = 1; i <= v.g_v_dimension; ++i) {
        for (int k = 1; k <= 4; ++k) {
            const Corner& c = round_corners[k - 1];
            p(k) = cmn_g_face_p.m_p(c.high_p ? v.g_v_face_ph(i) : v.g_v_face_pl(i));
            q(k) = cmn_g_face_q.m_q(c.high_q ? v.g_v_face_qh(i) : v.g_v_face_ql(i));
            longitude(k) = cmn_g_face_l.m_longitude(v.g_v_face_ll(i));
        }
        pq2polar(p.data(), q.data(), mrad.data(), mlat.data(), 4);
        for (int k = 5; k <= 8; ++k) {
            longitude(k) = cmn_g_face_l.m_longitude(v.g_v_face_lh(i));
            mrad(k) = mrad(k - 4);
            mlat(k) = mlat(k - 4);
        }
        // mrad > 0: the spherical triple is the input and stays as it is.
        mag2geo_pts({mrad, mlat, longitude, amx, amy, amz}, {grad, glat, glon, agx, agy, agz}, 8);
        for (int j = 1; j <= 8; ++j) {
            column(3 * j - 2) = agx(j);
            column(3 * j - 1) = agy(j);
            column(3 * j) = agz(j);
        }
        write_agrid_column(column.data(), 24);
    }
}

}  // namespace

void snap_geo() {
    write_records();
    write_agrid();
}

}  // namespace vorn
