#include "geometry/voxel_geometry.hpp"

#include "geometry/dipole.hpp"
#include "geometry/frame.hpp"
#include "runtime/free_format.hpp"
#include "runtime/units.hpp"

namespace vorn {

namespace {

// The three face records differ only in the prefix of their member names.
#define VORN_FACE_ARRAYS(record, pre)                                                                       \
    FaceArrays {                                                                                          \
        .dim = record.pre##_dim, .g_radius = record.pre##_g_radius, .g_latitude = record.pre##_g_latitude, \
        .g_longitude = record.pre##_g_longitude, .g_x = record.pre##_g_x, .g_y = record.pre##_g_y,         \
        .g_z = record.pre##_g_z, .m_radius = record.pre##_m_radius, .m_latitude = record.pre##_m_latitude, \
        .m_longitude = record.pre##_m_longitude, .m_x = record.pre##_m_x, .m_y = record.pre##_m_y,         \
        .m_z = record.pre##_m_z, .m_p = record.pre##_m_p, .m_q = record.pre##_m_q,                         \
        .area = record.pre##_area, .voxel = record.pre##_voxel, .nml_g_rad = record.pre##_nml_g_rad,       \
        .nml_g_lat = record.pre##_nml_g_lat, .nml_g_lon = record.pre##_nml_g_lon,                          \
        .nml_g_x = record.pre##_nml_g_x, .nml_g_y = record.pre##_nml_g_y, .nml_g_z = record.pre##_nml_g_z, \
        .nml_m_rad = record.pre##_nml_m_rad, .nml_m_lat = record.pre##_nml_m_lat,                          \
        .nml_m_lon = record.pre##_nml_m_lon, .nml_m_x = record.pre##_nml_m_x,                              \
        .nml_m_y = record.pre##_nml_m_y, .nml_m_z = record.pre##_nml_m_z,                                  \
        .scale_p = record.pre##_scale_p, .scale_q = record.pre##_scale_q, .scale_l = record.pre##_scale_l, \
    }

using NormalFunction = void (*)(const double*, const double*, const double*, double*, double*, double*,
                                std::int32_t);

// What the metric pass does differently for each kind of face: its normal,
// and the two scale factors of the directions that lie in the face.
struct FaceMetric {
    Axis kind;
    NormalFunction normal;
    RealRef FaceArrays::*first_scale;
    RealRef FaceArrays::*second_scale;
};

constexpr FaceMetric face_metrics[] = {
    {Axis::p, normal_p, &FaceArrays::scale_q, &FaceArrays::scale_l},
    {Axis::q, normal_q, &FaceArrays::scale_p, &FaceArrays::scale_l},
    {Axis::l, normal_l, &FaceArrays::scale_p, &FaceArrays::scale_q},
};

CellSpan span(double low, double high) { return {low, high, (low + high) * 0.5, high - low}; }

void set_voxel_metric() {
    CmnGVoxel& v = cmn_g_voxel;
    const std::int32_t n = v.g_v_dimension;
    pq2polar(v.g_v_m_p.data(), v.g_v_m_q.data(), v.g_v_m_radius.data(), v.g_v_m_latitude.data(), n);
    mag2geo_pts({v.g_v_m_radius, v.g_v_m_latitude, v.g_v_m_longitude, v.g_v_m_x, v.g_v_m_y, v.g_v_m_z},
                {v.g_v_g_radius, v.g_v_g_latitude, v.g_v_g_longitude, v.g_v_g_x, v.g_v_g_y, v.g_v_g_z}, n);
    pql_scale(v.g_v_m_radius.data(), v.g_v_m_latitude.data(), v.g_v_m_longitude.data(), v.g_v_scale_p.data(),
              v.g_v_scale_q.data(), v.g_v_scale_l.data(), n);
    for (int k = 1; k <= n; ++k) {
        v.g_v_width_p(k) = v.g_v_width_p(k) * v.g_v_scale_p(k);
        v.g_v_width_q(k) = v.g_v_width_q(k) * v.g_v_scale_q(k);
        v.g_v_width_l(k) = v.g_v_width_l(k) * v.g_v_scale_l(k);
        v.g_v_volume(k) = v.g_v_width_p(k) * v.g_v_width_q(k) * v.g_v_width_l(k);
    }
}

void set_face_metric(const FaceMetric& kind) {
    const FaceArrays& f = face_arrays(kind.kind);
    const std::int32_t n = f.dim;
    pq2polar(f.m_p.first(n).data(), f.m_q.first(n).data(), f.m_radius.first(n).data(),
             f.m_latitude.first(n).data(), n);
    kind.normal(f.m_radius.first(n).data(), f.m_latitude.first(n).data(), f.m_longitude.first(n).data(),
                f.nml_m_rad.first(n).data(), f.nml_m_lat.first(n).data(), f.nml_m_lon.first(n).data(), n);
    mag2geo_dir({f.m_radius, f.m_latitude, f.m_longitude, f.m_x, f.m_y, f.m_z},
                {f.nml_m_rad, f.nml_m_lat, f.nml_m_lon, f.nml_m_x, f.nml_m_y, f.nml_m_z},
                {f.g_radius, f.g_latitude, f.g_longitude, f.g_x, f.g_y, f.g_z},
                {f.nml_g_rad, f.nml_g_lat, f.nml_g_lon, f.nml_g_x, f.nml_g_y, f.nml_g_z}, n);
    pql_scale(f.m_radius.first(n).data(), f.m_latitude.first(n).data(), f.m_longitude.first(n).data(),
              f.scale_p.first(n).data(), f.scale_q.first(n).data(), f.scale_l.first(n).data(), n);
    const RealRef& first = f.*kind.first_scale;
    const RealRef& second = f.*kind.second_scale;
    for (int k = 1; k <= n; ++k) f.area(k) = f.area(k) * first(k) * second(k);
}

}  // namespace

const FaceArrays& face_arrays(Axis kind) {
    static const FaceArrays p_faces = VORN_FACE_ARRAYS(cmn_g_face_p, g_fp);
    static const FaceArrays q_faces = VORN_FACE_ARRAYS(cmn_g_face_q, g_fq);
    static const FaceArrays l_faces = VORN_FACE_ARRAYS(cmn_g_face_l, g_fl);
    switch (kind) {
    case Axis::p: return p_faces;
    case Axis::q: return q_faces;
    case Axis::l: break;
    }
    return l_faces;
}

#undef VORN_FACE_ARRAYS

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
    const FaceArrays& face = face_arrays(kind);
    face.m_p(f) = centre(Axis::p, box.p);
    face.m_q(f) = centre(Axis::q, box.q);
    face.m_longitude(f) = centre(Axis::l, box.l);
    switch (kind) {
    case Axis::p: face.area(f) = box.q.width * box.l.width; break;
    case Axis::q: face.area(f) = box.p.width * box.l.width; break;
    case Axis::l: face.area(f) = box.p.width * box.q.width; break;
    }
}

void set_metric() {
    set_voxel_metric();
    for (const FaceMetric& kind : face_metrics) set_face_metric(kind);
}

void check_lower_boundary_altitude() {
    const CmnGVoxel& v = cmn_g_voxel;
    const double threshold = cmn_gr_input.GR_I_GALT_LOWLIM + earth_radius;
    bool too_high = false;
    for (int i = 1; i <= v.g_v_bdry_rl_dim; ++i)
        if (v.g_v_g_radius(v.g_v_boundary_rl(i)) > threshold) too_high = true;
    if (too_high) FreeLine(output_unit) << "Warning: alt of boundary voxel(s) too high!";
}

}  // namespace vorn
