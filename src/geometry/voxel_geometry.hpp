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

#include <cstddef>
#include <cstdint>

#include "geometry/records.hpp"
#include "runtime/source_location.hpp"

namespace vorn {

// The three coordinates of the grid, and the three kinds of face (a face of
// kind p lies across the p axis).
enum class Axis { p, q, l };

// The voxel pair array (2, N) of a face record, seen the same way.
class PairRef {
public:
    template <int N, ArrayName Name>
    PairRef(Array2<std::int32_t, 2, N, Name>& array)
        : first_(array.data()), extent_(N), name_(Array2<std::int32_t, 2, N, Name>::name()) {}

    std::int32_t& operator()(int side, int f, const SourceLocation& where = SourceLocation::current()) const {
        detail::check_subscript(1, side, 2, name_, where);
        detail::check_subscript(2, f, extent_, name_, where);
        return first_[(side - 1) + 2 * static_cast<std::ptrdiff_t>(f - 1)];
    }

private:
    std::int32_t* first_;
    int extent_;
    const char* name_;
};

using RealRef = ArraySpan<double>;

// The members of one face record (cmn_g_face_p, _q or _l) without their prefix.
struct FaceArrays {
    std::int32_t& dim;
    RealRef g_radius, g_latitude, g_longitude, g_x, g_y, g_z;
    RealRef m_radius, m_latitude, m_longitude, m_x, m_y, m_z;
    RealRef m_p, m_q, area;
    PairRef voxel;
    RealRef nml_g_rad, nml_g_lat, nml_g_lon, nml_g_x, nml_g_y, nml_g_z;
    RealRef nml_m_rad, nml_m_lat, nml_m_lon, nml_m_x, nml_m_y, nml_m_z;
    RealRef scale_p, scale_q, scale_l;
};

// The face record of a kind.
const FaceArrays& face_arrays(Axis kind);

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

// Writes the warning line when a voxel of the lower radial boundary list has
// its centre above GR_I_GALT_LOWLIM.
void check_lower_boundary_altitude();

}  // namespace vorn
