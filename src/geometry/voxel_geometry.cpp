#include "geometry/voxel_geometry.hpp"

#include <algorithm>

#include "format/messages.hpp"
#include "geometry/dipole.hpp"
#include "geometry/frame.hpp"
#include "run_end/nan_operands.hpp"
#include "workers/parallel.hpp"

namespace vorn {

namespace {

CellSpan span(double low, double high) { return {low, high, (low + high) * 0.5, high - low}; }

// The metric pass works on every element alone, so each step runs on all
// cores, in parts of the arrays; the steps follow one another as before, so a
// trap stops the run at the same step and element.
constexpr std::int32_t elements_per_part = 4096;

// step(offset, count) on elements offset + 1 .. offset + count, for parts that
// cover elements 1 .. n.
template <class Step>
void in_parts(std::int32_t n, const Step& step) {
    if (n <= 0) return;
    parallel_for((n - 1) / elements_per_part + 1, [&](std::int32_t part) {
        const std::int32_t offset = part * elements_per_part;
        step(offset, std::min(elements_per_part, n - offset));
    });
}

PointSet tail(const PointSet& s, long offset) {
    return {s.radius.tail(offset), s.latitude.tail(offset), s.longitude.tail(offset),
            s.x.tail(offset),      s.y.tail(offset),        s.z.tail(offset)};
}

VectorSet tail(const VectorSet& s, long offset) {
    return {s.radial.tail(offset), s.northward.tail(offset), s.eastward.tail(offset),
            s.x.tail(offset),      s.y.tail(offset),         s.z.tail(offset)};
}

PqSet tail(const PqSet& s, long offset) { return {s.p.tail(offset), s.q.tail(offset)}; }

PolarSet tail(const PolarSet& s, long offset) { return {s.radius.tail(offset), s.latitude.tail(offset)}; }

ScaleSet tail(const ScaleSet& s, long offset) { return {s.p.tail(offset), s.q.tail(offset), s.l.tail(offset)}; }

void set_voxel_metric() {
    CmnGVoxel& v = cmn_g_voxel;
    const std::int32_t n = v.g_v_dimension;
    const PointSet magnetic{v.g_v_m_radius, v.g_v_m_latitude, v.g_v_m_longitude, v.g_v_m_x, v.g_v_m_y, v.g_v_m_z};
    const PointSet geographic{v.g_v_g_radius, v.g_v_g_latitude, v.g_v_g_longitude,
                              v.g_v_g_x,      v.g_v_g_y,        v.g_v_g_z};
    const PqSet pq{v.g_v_m_p, v.g_v_m_q};
    const PolarSet polar{v.g_v_m_radius, v.g_v_m_latitude};
    const ScaleSet scale{v.g_v_scale_p, v.g_v_scale_q, v.g_v_scale_l};
    in_parts(n, [&](std::int32_t k, std::int32_t count) { pq2polar(tail(pq, k), tail(polar, k), count); });
    in_parts(n, [&](std::int32_t k, std::int32_t count) {
        mag2geo_pts(tail(magnetic, k), tail(geographic, k), count);
    });
    in_parts(n, [&](std::int32_t k, std::int32_t count) { pql_scale(tail(polar, k), tail(scale, k), count); });
    for (int k = 1; k <= n; ++k) {
        v.g_v_width_p(k) = v.g_v_width_p(k) * v.g_v_scale_p(k);
        v.g_v_width_q(k) = v.g_v_width_q(k) * v.g_v_scale_q(k);
        v.g_v_width_l(k) = v.g_v_width_l(k) * v.g_v_scale_l(k);
        v.g_v_volume(k) = v.g_v_width_p(k) * v.g_v_width_q(k) * v.g_v_width_l(k);
    }
}

// The unit normals of the faces of a kind at their magnetic points.
void set_face_normals(Axis kind, const PolarSet& at, const VectorSet& normal, std::int32_t n) {
    switch (kind) {
    case Axis::p: normal_p(at, normal, n); return;
    case Axis::q: normal_q(at, normal, n); return;
    case Axis::l: normal_l(normal, n); return;
    }
}

// The metric pass of one kind of face: its normal, and the scale factors of
// the two directions that lie in the face.
template <class Face, class FirstScale, class SecondScale>
void set_face_metric(Face& f, Axis kind, const FirstScale& first, const SecondScale& second) {
    const std::int32_t n = f.dim;
    const PointSet magnetic{f.m_radius, f.m_latitude, f.m_longitude, f.m_x, f.m_y, f.m_z};
    const VectorSet magnetic_normal{f.nml_m_rad, f.nml_m_lat, f.nml_m_lon, f.nml_m_x, f.nml_m_y, f.nml_m_z};
    const PointSet geographic{f.g_radius, f.g_latitude, f.g_longitude, f.g_x, f.g_y, f.g_z};
    const VectorSet geographic_normal{f.nml_g_rad, f.nml_g_lat, f.nml_g_lon, f.nml_g_x, f.nml_g_y, f.nml_g_z};
    const PqSet pq{f.m_p, f.m_q};
    const PolarSet polar{f.m_radius, f.m_latitude};
    const ScaleSet scale{f.scale_p, f.scale_q, f.scale_l};
    in_parts(n, [&](std::int32_t k, std::int32_t count) { pq2polar(tail(pq, k), tail(polar, k), count); });
    in_parts(n, [&](std::int32_t k, std::int32_t count) {
        set_face_normals(kind, tail(polar, k), tail(magnetic_normal, k), count);
    });
    // Within a part all points are converted before the first normal, which
    // can meet no exception of its own (unit vectors, finite angles).
    in_parts(n, [&](std::int32_t k, std::int32_t count) {
        mag2geo_dir(tail(magnetic, k), tail(magnetic_normal, k), tail(geographic, k), tail(geographic_normal, k),
                    count);
    });
    in_parts(n, [&](std::int32_t k, std::int32_t count) { pql_scale(tail(polar, k), tail(scale, k), count); });
    for (int k = 1; k <= n; ++k) f.area(k) = f.area(k) * first(k) * second(k);
}

}  // namespace

CellBox cell_box(int ip, int iq, int il) {
    const GrGrid& g = gr_grid;
    return {span(g.gr_p(ip), g.gr_p(ip + 1)), span(g.gr_q(iq), g.gr_q(iq + 1)), span(g.gr_l(il), g.gr_l(il + 1))};
}

void set_voxel_centre(int v, const CellBox& box) {
    CmnGVoxel& x = cmn_g_voxel;
    x.g_v_m_p(v) = box.p.mid;
    x.g_v_m_q(v) = box.q.mid;
    x.g_v_m_longitude(v) = box.l.mid;
    x.g_v_width_p(v) = box.p.width;
    x.g_v_width_q(v) = box.q.width;
    x.g_v_width_l(v) = box.l.width;
}

void set_face_centre(Axis kind, bool high_side, int f, const CellBox& box) {
    // Across its own axis the face lies on the cell's edge; along the other two
    // at the cell's mid-point.
    auto centre = [&](Axis axis, const CellSpan& s) { return axis != kind ? s.mid : high_side ? s.high : s.low; };
    with_face_record(kind, [&](auto& face) {
        face.m_p(f) = centre(Axis::p, box.p);
        face.m_q(f) = centre(Axis::q, box.q);
        face.m_longitude(f) = centre(Axis::l, box.l);
        switch (kind) {
        case Axis::p: face.area(f) = box.q.width * box.l.width; break;
        case Axis::q: face.area(f) = box.p.width * box.l.width; break;
        case Axis::l: face.area(f) = box.p.width * box.q.width; break;
        }
    });
}

void set_metric() {
    set_voxel_metric();
    set_face_metric(cmn_g_face_p, Axis::p, cmn_g_face_p.scale_q, cmn_g_face_p.scale_l);
    set_face_metric(cmn_g_face_q, Axis::q, cmn_g_face_q.scale_p, cmn_g_face_q.scale_l);
    set_face_metric(cmn_g_face_l, Axis::l, cmn_g_face_l.scale_p, cmn_g_face_l.scale_q);
}

void voxel_corners(int v, CornerRounds rounds, VoxelCorners& c) {
    // Which bounding faces each corner of a round takes in p and q.
    static constexpr struct {
        bool high_p, high_q;
    } round[4] = {{false, false}, {true, false}, {true, true}, {false, true}};
    Array1<double, 4, "CORNER_P"> p;
    Array1<double, 4, "CORNER_Q"> q;
    const CmnGVoxel& x = cmn_g_voxel;
    for (int k = 1; k <= 4; ++k) {
        p(k) = cmn_g_face_p.m_p(round[k - 1].high_p ? x.g_v_face_ph(v) : x.g_v_face_pl(v));
        q(k) = cmn_g_face_q.m_q(round[k - 1].high_q ? x.g_v_face_qh(v) : x.g_v_face_ql(v));
    }
    pq2polar({p, q}, {c.m_radius, c.m_latitude}, 4);
    c.count = 4;
    if (rounds == CornerRounds::centre_longitude) {
        for (int k = 1; k <= 4; ++k) c.m_longitude(k) = x.g_v_m_longitude(v);
    } else {
        c.count = 8;
        for (int k = 1; k <= 4; ++k) {
            c.m_longitude(k) = cmn_g_face_l.m_longitude(x.g_v_face_ll(v));
            c.m_longitude(k + 4) = cmn_g_face_l.m_longitude(x.g_v_face_lh(v));
            c.m_radius(k + 4) = c.m_radius(k);
            c.m_latitude(k + 4) = c.m_latitude(k);
        }
    }
    // A radius > 0: the spherical triple is the input and stays as it is.
    mag2geo_pts({c.m_radius, c.m_latitude, c.m_longitude, c.m_x, c.m_y, c.m_z},
                {c.g_radius, c.g_latitude, c.g_longitude, c.g_x, c.g_y, c.g_z}, c.count);
}

void check_lower_boundary_altitude() {
    const CmnGVoxel& v = cmn_g_voxel;
    raise_invalid_on_nan({cmn_gr_input.GR_I_GALT_LOWLIM});
    const double threshold = cmn_gr_input.GR_I_GALT_LOWLIM + earth_radius;
    bool too_high = false;
    for (int i = 1; i <= v.g_v_bdry_rl_dim; ++i)
        if (v.g_v_g_radius(v.g_v_boundary_rl(i)) > threshold) too_high = true;
    if (too_high) write_message({"Warning: alt of boundary voxel(s) too high!"});
}

}  // namespace vorn
