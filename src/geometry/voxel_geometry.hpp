// Voxel and face geometry: centres, widths, areas, scale factors and normals.
//
// While the cells are visited, each voxel gets its centre (p, q, magnetic
// longitude in degrees, the longitude not folded) and its widths, and each face
// its centre and its area, all in coordinate units: p, q and degrees of
// longitude.  The metric pass then works on whole arrays: it adds the magnetic
// and geographic positions (radii in m, angles in degrees, geographic
// longitudes folded into [0, 360]), the scale factors (m per unit p, per unit
// q, per degree of l) and the unit face normals (radial, northward, eastward
// and Cartesian components, pointing towards increasing p, q or longitude), and
// turns the widths into m, the areas into m^2 and the volumes into m^3.
#pragma once

#include <cstdint>

#include "geometry/records.hpp"

namespace vorn {

// The three coordinates of the grid, and the three kinds of face (a face of
// kind p lies across the p axis).
enum class Axis { p, q, l };

// The face record of a kind, handed to body: body(cmn_g_face_p) for kind p,
// and so on.
template <class Body>
decltype(auto) with_face_record(Axis kind, Body&& body) {
    switch (kind) {
    case Axis::p: return body(cmn_g_face_p);
    case Axis::q: return body(cmn_g_face_q);
    case Axis::l: break;
    }
    return body(cmn_g_face_l);
}

// One axis of a cell, in coordinate units: its two grid values, their
// mid-point and their difference.
struct CellSpan {
    double low, high, mid, width;
};

// Cell (ip, iq, il) of gr_grid.
struct CellBox {
    CellSpan p, q, l;
};
CellBox cell_box(int ip, int iq, int il);

// Centre and widths of voxel v, in coordinate units.
void set_voxel_centre(int v, const CellBox& box);

// Centre and area of face f of the given kind, on the low (high_side false) or
// high side of the cell, in coordinate units.
void set_face_centre(Axis kind, bool high_side, int f, const CellBox& box);

// The metric pass over all voxels, then the p-, q- and l-faces.
void set_metric();

// The corners of a voxel.  A round is the four corners of the voxel's
// cross-section at one longitude: low p and low q, high p and low q, high p
// and high q, low p and high q, each taking its p and q from the voxel's
// bounding faces.
enum class CornerRounds {
    centre_longitude,     // one round, at the voxel's own magnetic longitude
    bounding_longitudes,  // corners 1-4 at its low-longitude face, 5-8 at its high one
};
inline constexpr int max_corners = 8;

// The corners in the magnetic and the geographic frame; count is 4 or 8.
struct VoxelCorners {
    template <ArrayName Name>
    using Corner = Array1<double, max_corners, Name>;
    int count;
    Corner<"CORNER_MRAD"> m_radius;
    Corner<"CORNER_MLAT"> m_latitude;
    Corner<"CORNER_MLON"> m_longitude;
    Corner<"CORNER_MX"> m_x;
    Corner<"CORNER_MY"> m_y;
    Corner<"CORNER_MZ"> m_z;
    Corner<"CORNER_GRAD"> g_radius;
    Corner<"CORNER_GLAT"> g_latitude;
    Corner<"CORNER_GLON"> g_longitude;
    Corner<"CORNER_GX"> g_x;
    Corner<"CORNER_GY"> g_y;
    Corner<"CORNER_GZ"> g_z;
};

// The corners of voxel v: pq2polar once on the round's four (p, q) pairs,
// mag2geo_pts once on all corners.
void voxel_corners(int v, CornerRounds rounds, VoxelCorners& corners);

// Writes the warning line when a voxel of the lower radial boundary list has
// its centre above GR_I_GALT_LOWLIM.
void check_lower_boundary_altitude();

}  // namespace vorn
