#include "geometry/report.hpp"

#include <cstdint>
#include <string_view>

#include "geometry/dipole.hpp"
#include "geometry/frame.hpp"
#include "geometry/records.hpp"
#include "runtime/checked_array.hpp"
#include "runtime/fixed_format.hpp"
#include "runtime/free_format.hpp"
#include "runtime/source_location.hpp"
#include "runtime/units.hpp"

namespace vorn {

void get_io_fd(std::span<char, field_id_length> field_id) {
    static std::int32_t fd_count = 0;
    static const Format tag_format("('FD',I5,'%  ')");
    ++fd_count;
    FixedRecord(field_id, tag_format) << fd_count;
    // Leading zeros in the five digit positions (asterisks stay).
    for (int position = 3; position <= 7; ++position)
        if (field_id[position - 1] == ' ') field_id[position - 1] = '0';
}

namespace {

// The tag of the section being written; every line of the section repeats it.
char field_id[field_id_length];

std::string_view tag() { return {field_id, field_id_length}; }

void start_section() { get_io_fd(field_id); }

void blank_line() { FreeLine{output_unit}; }

// A section's loop bound is checked against the capacity of the array it
// indexes before the first line: a bound beyond it ends the run with the
// subscript report for capacity + 1.  For a face-voxel pair the face number is
// the second subscript.
template <class A>
void check_bound(const A& array, std::int32_t bound,
                 const SourceLocation& where = SourceLocation::current()) {
    if constexpr (requires { A::extent2; }) {
        if (bound > A::extent2) (void)array(1, A::extent2 + 1, where);
    } else {
        if (bound > A::extent) (void)array(A::extent + 1, where);
    }
}

// Element i of each array, in turn, into the record.
template <class... Arrays>
void put_elements(FixedRecord& record, std::int32_t i, const Arrays&... arrays) {
    (record << ... << arrays(i));
}

// A one-line section: the tag, the label and a count.
void write_count(std::string_view label, std::int32_t count) {
    start_section();
    FreeLine(output_unit) << tag() << label << count;
}

// A listing section: one line per entry 1..count, with its index and value.
template <class A>
void write_list(std::string_view label, const A& values, std::int32_t count) {
    start_section();
    check_bound(values, count);
    for (std::int32_t i = 1; i <= count; ++i) FreeLine(output_unit) << tag() << label << i << values(i);
}

void write_voxels() {
    static const Format voxel_format("(A,A,9(i6,x),21(e15.8,x))");
    const CmnGVoxel& v = cmn_g_voxel;
    start_section();
    const std::int32_t count = v.g_v_dimension;
    check_bound(v.g_v_neighbor_pl, count);
    for (std::int32_t i = 1; i <= count; ++i) {
        FixedRecord record(output_unit, voxel_format);
        record << tag() << "voxel " << i;
        put_elements(record, i, v.g_v_neighbor_pl, v.g_v_neighbor_ph, v.g_v_neighbor_ql, v.g_v_neighbor_qh,
                     v.g_v_face_pl, v.g_v_face_ph, v.g_v_face_ql, v.g_v_face_qh, v.g_v_m_p, v.g_v_m_q,
                     v.g_v_m_radius, v.g_v_m_latitude, v.g_v_m_longitude, v.g_v_m_x, v.g_v_m_y, v.g_v_m_z,
                     v.g_v_g_radius, v.g_v_g_latitude, v.g_v_g_longitude, v.g_v_g_x, v.g_v_g_y, v.g_v_g_z,
                     v.g_v_width_p, v.g_v_width_q, v.g_v_width_l, v.g_v_volume, v.g_v_scale_p, v.g_v_scale_q,
                     v.g_v_scale_l);
    }
}

// The 27 reals of a face record, in their order, from a face record with
// member prefix `pre`.
#define VORN_FACE_REPORT_REALS(f, pre)                                                                   \
    f.pre##_m_p, f.pre##_m_q, f.pre##_m_radius, f.pre##_m_latitude, f.pre##_m_longitude, f.pre##_m_x,  \
        f.pre##_m_y, f.pre##_m_z, f.pre##_nml_m_rad, f.pre##_nml_m_lat, f.pre##_nml_m_lon,             \
        f.pre##_nml_m_x, f.pre##_nml_m_y, f.pre##_nml_m_z, f.pre##_g_radius, f.pre##_g_latitude,       \
        f.pre##_g_longitude, f.pre##_g_x, f.pre##_g_y, f.pre##_g_z, f.pre##_nml_g_rad,                 \
        f.pre##_nml_g_lat, f.pre##_nml_g_lon, f.pre##_nml_g_x, f.pre##_nml_g_y, f.pre##_nml_g_z,       \
        f.pre##_area

// A face section: face number, its voxel pair (low side first), the reals.
template <class Pair, class... Reals>
void write_faces(std::string_view label, std::int32_t count, const Pair& voxel, const Reals&... reals) {
    static const Format face_format("(A,A,3(i5,x),27(e15.8,x))");
    start_section();
    check_bound(voxel, count);
    for (std::int32_t i = 1; i <= count; ++i) {
        FixedRecord record(output_unit, face_format);
        record << tag() << label << i << voxel(1, i) << voxel(2, i);
        put_elements(record, i, reals...);
    }
}

// Every node of the full grid, whatever the cell status.
void write_grid_nodes() {
    static const Format node_format("(A,A,3(i5,x),15(e15.8,x))");
    const GrGrid& g = gr_grid;
    start_section();
    const std::int32_t nl = g.gr_nl;
    const std::int32_t np = g.gr_np;
    const std::int32_t nq = g.gr_nq;
    check_bound(g.gr_l, nl);
    check_bound(g.gr_p, np);
    check_bound(g.gr_q, nq);
    for (std::int32_t il = 1; il <= nl; ++il) {
        for (std::int32_t ip = 1; ip <= np; ++ip) {
            for (std::int32_t iq = 1; iq <= nq; ++iq) {
                const double l = g.gr_l(il);
                const double p = g.gr_p(ip);
                const double q = g.gr_q(iq);
                double r = 0.0, mlat = 0.0, mlon = l;
                double mx = 0.0, my = 0.0, mz = 0.0;
                double grad = 0.0, glat = 0.0, glon = 0.0, gx = 0.0, gy = 0.0, gz = 0.0;
                pq2polar(&p, &q, &r, &mlat, 1);
                mag2geo_pts(&r, &mlat, &mlon, &mx, &my, &mz, &grad, &glat, &glon, &gx, &gy, &gz, 1);
                FixedRecord(output_unit, node_format) << tag() << "grid " << il << ip << iq << l << p << q << r
                                                      << mlat << l << grad << glat << glon << mx << my << mz
                                                      << gx << gy << gz;
            }
        }
    }
}

// The magnetic Cartesian corners of each voxel's cross-section, at the
// voxel's own magnetic longitude: low p and low q, high p and low q, high p
// and high q, low p and high q.
void write_voxel_corners() {
    static const Format corner_format("(A,A,1(i5,x),12(e15.8,x))");
    Array1<double, 4, "AMX"> amx;
    Array1<double, 4, "AMY"> amy;
    Array1<double, 4, "AMZ"> amz;
    const CmnGVoxel& v = cmn_g_voxel;
    const CmnGFaceP& fp = cmn_g_face_p;
    const CmnGFaceQ& fq = cmn_g_face_q;
    start_section();
    const std::int32_t count = v.g_v_dimension;
    check_bound(v.g_v_face_pl, count);
    for (std::int32_t i = 1; i <= count; ++i) {
        const std::int32_t p_face[4] = {v.g_v_face_pl(i), v.g_v_face_ph(i), v.g_v_face_ph(i), v.g_v_face_pl(i)};
        const std::int32_t q_face[4] = {v.g_v_face_ql(i), v.g_v_face_ql(i), v.g_v_face_qh(i), v.g_v_face_qh(i)};
        for (int k = 1; k <= 4; ++k) {
            const double p = fp.g_fp_m_p(p_face[k - 1]);
            const double q = fq.g_fq_m_q(q_face[k - 1]);
            double mrad = 0.0, mlat = 0.0, mlon = v.g_v_m_longitude(i);
            double grad = 0.0, glat = 0.0, glon = 0.0, gx = 0.0, gy = 0.0, gz = 0.0;
            pq2polar(&p, &q, &mrad, &mlat, 1);
            mag2geo_pts(&mrad, &mlat, &mlon, &amx(k), &amy(k), &amz(k), &grad, &glat, &glon, &gx, &gy, &gz, 1);
        }
        FixedRecord record(output_unit, corner_format);
        record << tag() << "agrid" << i;
        for (int k = 1; k <= 4; ++k) record << amx(k) << amy(k) << amz(k);
    }
}

void write_summaries() {
    const GrGrid& g = gr_grid;
    const CmnGVoxel& v = cmn_g_voxel;
    FreeLine(output_unit) << "Summaries:";
    FreeLine(output_unit) << "gr_np = " << g.gr_np;
    FreeLine(output_unit) << "gr_nq = " << g.gr_nq;
    FreeLine(output_unit) << "gr_nl = " << g.gr_nl;
    FreeLine(output_unit) << "gr_np x gr_nq = " << g.gr_np * g.gr_nq;
    FreeLine(output_unit) << "gr_np x gr_nq x gr_nl = " << g.gr_np * g.gr_nq * g.gr_nl;
    FreeLine(output_unit) << "g_v_dimension = " << v.g_v_dimension;
    blank_line();
    FreeLine(output_unit) << "g_v_bdry_rl_dim = " << v.g_v_bdry_rl_dim;
    FreeLine(output_unit) << "g_v_bdry_rh_dim = " << v.g_v_bdry_rh_dim;
    FreeLine(output_unit) << "g_v_bdry_ph_dim = " << v.g_v_bdry_ph_dim;
    FreeLine(output_unit) << "g_v_bdry_ll_dim = " << v.g_v_bdry_ll_dim;
    FreeLine(output_unit) << "g_v_bdry_lh_dim = " << v.g_v_bdry_lh_dim;
    blank_line();
    FreeLine(output_unit) << "g_fp_dim = " << cmn_g_face_p.g_fp_dim;
    FreeLine(output_unit) << "g_fq_dim = " << cmn_g_face_q.g_fq_dim;
    FreeLine(output_unit) << "g_fl_dim = " << cmn_g_face_l.g_fl_dim;
    blank_line();
}

// One row per occupied cell: the cell, its voxel, the voxel's two neighbours
// and two faces in one direction.
template <class... Columns>
void write_table(std::string_view title, std::string_view header, const Columns&... columns) {
    static const Format row_format("(8i8)");
    const GrGrid& g = gr_grid;
    FreeLine(output_unit) << title;
    FreeLine(output_unit) << header;
    const std::int32_t cells_l = g.gr_nl - 1;
    const std::int32_t cells_p = g.gr_np - 1;
    const std::int32_t cells_q = g.gr_nq - 1;
    for (std::int32_t il = 1; il <= cells_l; ++il) {
        for (std::int32_t ip = 1; ip <= cells_p; ++ip) {
            for (std::int32_t iq = 1; iq <= cells_q; ++iq) {
                const std::int32_t i = g.gr_stat(ip, iq, il);
                if (i <= 0) continue;
                FixedRecord record(output_unit, row_format);
                record << il << ip << iq << i;
                put_elements(record, i, columns...);
            }
        }
    }
    blank_line();
}

void write_tables() {
    const CmnGVoxel& v = cmn_g_voxel;
    write_table("l faces and neighbors:", "     il      ip      iq   Voxel  Ngh_ll  Ngh_lh  Face_ll  Face_lh",
                v.g_v_neighbor_ll, v.g_v_neighbor_lh, v.g_v_face_ll, v.g_v_face_lh);
    write_table("p faces and neighbors:", "     il      ip      iq   Voxel  Ngh_pl  Ngh_ph  Face_pl  Face_ph",
                v.g_v_neighbor_pl, v.g_v_neighbor_ph, v.g_v_face_pl, v.g_v_face_ph);
    write_table("q faces and neighbors:", "     il      ip      iq   Voxel  Ngh_ql  Ngh_qh  Face_ql  Face_qh",
                v.g_v_neighbor_ql, v.g_v_neighbor_qh, v.g_v_face_ql, v.g_v_face_qh);
}

}  // namespace

void print_geometry() {
    const GrGrid& g = gr_grid;
    const CmnGVoxel& v = cmn_g_voxel;
    write_count("gr_nl ", g.gr_nl);
    write_list("l_values ", g.gr_l, g.gr_nl);
    write_count("gr_np ", g.gr_np);
    write_list("p_values ", g.gr_p, g.gr_np);
    write_count("gr_nq ", g.gr_nq);
    write_list("q_values ", g.gr_q, g.gr_nq);
    write_count("no_of_voxels ", v.g_v_dimension);
    if (cmn_io_flags.IO_GEOMETRY_FLAG != 1) return;

    write_voxels();
    write_count("no_of_p_faces  ", cmn_g_face_p.g_fp_dim);
    write_faces("facep ", cmn_g_face_p.g_fp_dim, cmn_g_face_p.g_fp_voxel, VORN_FACE_REPORT_REALS(cmn_g_face_p, g_fp));
    write_count("no_of_q_faces ", cmn_g_face_q.g_fq_dim);
    write_faces("faceq ", cmn_g_face_q.g_fq_dim, cmn_g_face_q.g_fq_voxel, VORN_FACE_REPORT_REALS(cmn_g_face_q, g_fq));
    write_count("g_v_bdry_rl_dim ", v.g_v_bdry_rl_dim);
    write_list("rlboundary ", v.g_v_boundary_rl, v.g_v_bdry_rl_dim);
    write_count("g_v_bdry_rh_dim ", v.g_v_bdry_rh_dim);
    write_list("rhboundary ", v.g_v_boundary_rh, v.g_v_bdry_rh_dim);
    write_count("g_v_bdry_ph_dim ", v.g_v_bdry_ph_dim);
    write_list("phboundary ", v.g_v_boundary_ph, v.g_v_bdry_ph_dim);
    write_grid_nodes();
    write_voxel_corners();

    write_summaries();
    write_tables();
}

#undef VORN_FACE_REPORT_REALS

}  // namespace vorn
