#include "snapshot/snap_geo.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "file_output/byte_output.hpp"
#include "geometry/records.hpp"
#include "geometry/voxel_geometry.hpp"
#include "matfile/matfile.hpp"
#include "snapshot/mat_variables.hpp"
#include "units/units.hpp"
#include "workers/ordered_output.hpp"

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

// Variables 1 to 10: the frame and the grid.
void write_grid() {
    const GrGrid& g = gr_grid;
    const MatVariable grid[] = {
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
    };
    write_variables(grid);
}

// Variables 11 to 43: the per-voxel arrays.
void write_voxels() {
    const CmnGVoxel& v = cmn_g_voxel;
    const std::int32_t nv = v.g_v_dimension;
    const MatVariable voxels[] = {
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
}

// Variables 44 to 136 are the faces; 137 to 141 the boundary lists and the
// voxel capacity.
void write_boundaries() {
    static constexpr std::int32_t voxel_capacity = max_voxel;
    const CmnGVoxel& v = cmn_g_voxel;
    const MatVariable boundaries[] = {
        row(v.g_v_boundary_rl, v.g_v_bdry_rl_dim),
        row(v.g_v_boundary_rh, v.g_v_bdry_rh_dim),
        row(v.g_v_boundary_ph, v.g_v_bdry_ph_dim),
        scalar("max_voxel", voxel_capacity),
    };
    write_variables(boundaries);
}

// Variable 142: the header, then the geographic corners of each voxel,
// column by column in memory order.  The corners are found on all cores, a
// chunk of voxels at a time, and the chunks go to the file in order.
void write_agrid() {
    static constexpr std::size_t column_bytes = 3 * max_corners * sizeof(double);
    static constexpr std::int32_t voxels_per_chunk = byte_chunk_size / column_bytes;
    static_assert(voxels_per_chunk > 0);
    const CmnGVoxel& v = cmn_g_voxel;
    const std::int32_t count = v.g_v_dimension;
    savehd(snapshot_unit, 24, count, "agrid", 5, 0, 0);
    if (count <= 0) return;
    ordered_byte_chunks(
        (count - 1) / voxels_per_chunk + 1,
        [&](std::int32_t chunk, ByteChunk& bytes) {
            const std::int32_t first = chunk * voxels_per_chunk + 1;
            const std::int32_t last = std::min(count, first + (voxels_per_chunk - 1));
            VoxelCorners corners;
            for (std::int32_t i = first; i <= last; ++i) {
                voxel_corners(i, CornerRounds::bounding_longitudes, corners);
                for (int j = 1; j <= corners.count; ++j)
                    for (const double coordinate : {corners.g_x(j), corners.g_y(j), corners.g_z(j)})
                        bytes.put(&coordinate, sizeof coordinate);
            }
        },
        [](std::int32_t, std::span<const char> bytes) {
            write_bytes_reporting(snapshot_unit, bytes.data(), bytes.size(),
                                  "snap_geo: Error in writing the output file.");
        });
}

}  // namespace

void snap_geo() {
    write_grid();
    write_voxels();
    write_faces(cmn_g_face_p);
    write_faces(cmn_g_face_q);
    write_faces(cmn_g_face_l);
    write_boundaries();
    write_agrid();
}

}  // namespace vorn
