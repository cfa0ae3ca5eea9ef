#include "report/report.hpp"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "checked_array/checked_array.hpp"
#include "format/fixed_format.hpp"
#include "format/free_format.hpp"
#include "geometry/dipole.hpp"
#include "geometry/frame.hpp"
#include "geometry/records.hpp"
#include "geometry/voxel_geometry.hpp"
#include "run_end/source_location.hpp"
#include "units/units.hpp"
#include "workers/ordered_output.hpp"

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

// Puts a chunk of formatted lines out on unit 6.
constexpr auto put_on_output_unit = [](std::int32_t, std::string_view characters) {
    text_unit(output_unit).put(characters);
};

// A large section's records i = 1 .. count, formatted chunk by chunk on the
// workers and put out in order: record(i, buffer) formats record i.  A chunk
// takes as many records as surely fit in its buffer, by the format's widths
// and the characters of its A items (`text_chars`), so the cut is the same
// on every machine.
template <class Record>
void write_records(std::int32_t count, const Format& format, int text_chars, const Record& record) {
    if (count <= 0) return;
    const std::int32_t per_chunk =
        static_cast<std::int32_t>(TextUnit::buffer_size / (format.fixed_length() + text_chars + 1));
    const std::int32_t chunks = (count - 1) / per_chunk + 1;
    ordered_text_chunks(
        chunks,
        [&](std::int32_t chunk, TextUnit& buffer) {
            const std::int32_t first = chunk * per_chunk + 1;
            const std::int32_t last = std::min(count, first + (per_chunk - 1));
            for (std::int32_t i = first; i <= last; ++i) record(i, buffer);
        },
        put_on_output_unit);
}

// A section of one record per entry i = 1 .. count: the tag, the label and i,
// then what fields(record, i) adds.  The count is checked against the capacity
// of `bounding`, the array that the records read, before the first record.
template <class A, class Fields>
void write_entry_records(std::string_view label, const Format& format, std::int32_t count, const A& bounding,
                         const Fields& fields) {
    start_section();
    check_bound(bounding, count);
    write_records(count, format, field_id_length + static_cast<int>(label.size()),
                  [&](std::int32_t i, TextUnit& buffer) {
                      FixedRecord record(buffer, format);
                      record << tag() << label << i;
                      fields(record, i);
                  });
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

// A count section, then the listing of that many values.
template <class A>
void write_counted_list(std::string_view count_label, std::string_view list_label, const A& values,
                        std::int32_t count) {
    write_count(count_label, count);
    write_list(list_label, values, count);
}

void write_voxels() {
    static const Format voxel_format("(A,A,9(i6,x),21(e15.8,x))");
    static constexpr std::string_view label = "voxel ";
    const CmnGVoxel& v = cmn_g_voxel;
    write_entry_records(label, voxel_format, v.g_v_dimension, v.g_v_neighbor_pl, [&](FixedRecord& record, std::int32_t i) {
        put_elements(record, i, v.g_v_neighbor_pl, v.g_v_neighbor_ph, v.g_v_neighbor_ql, v.g_v_neighbor_qh,
                     v.g_v_face_pl, v.g_v_face_ph, v.g_v_face_ql, v.g_v_face_qh, v.g_v_m_p, v.g_v_m_q,
                     v.g_v_m_radius, v.g_v_m_latitude, v.g_v_m_longitude, v.g_v_m_x, v.g_v_m_y, v.g_v_m_z,
                     v.g_v_g_radius, v.g_v_g_latitude, v.g_v_g_longitude, v.g_v_g_x, v.g_v_g_y, v.g_v_g_z,
                     v.g_v_width_p, v.g_v_width_q, v.g_v_width_l, v.g_v_volume, v.g_v_scale_p, v.g_v_scale_q,
                     v.g_v_scale_l);
    });
}

// The reals of a face record: the magnetic coordinates, position and normal,
// the geographic position and normal, and the area.
template <class Face, class Visit>
void for_each_reported_face_member(const Face& faces, Visit&& visit) {
    using G = FaceGroup;
    for_each_face_member_in<G::coordinates, G::magnetic_position, G::magnetic_normal, G::geographic_position,
                            G::geographic_normal, G::area>(faces, visit);
}

// A face section: face number, its voxel pair (low side first), the reals.
template <class Face>
void write_faces(std::string_view label, const Face& faces) {
    static const Format face_format = [&] {
        int reals = 0;
        for_each_reported_face_member(faces, [&](const auto&) { ++reals; });
        return Format("(A,A,3(i5,x)," + std::to_string(reals) + "(e15.8,x))");
    }();
    write_entry_records(label, face_format, faces.dim, faces.voxel, [&](FixedRecord& record, std::int32_t i) {
        record << faces.voxel(1, i) << faces.voxel(2, i);
        for_each_reported_face_member(faces, [&](const auto& member) { record << member(i); });
    });
}

// The reals of the grid-node record are e15.8.
constexpr int node_real_width = 15;
constexpr int node_real_digits = 8;

RenderedReal node_text(double value) { return RenderedReal(value, node_real_width, node_real_digits); }

// Work arrays of the grid-node section: the texts of the l, p and q values,
// and one element per (p, q) node of the grid, node (ip, iq) at
// (ip - 1) * gr_nq + iq: its p and q, and its magnetic radius and latitude (as
// values and as texts).
constexpr int max_pq_nodes = max_grid_p * max_grid_q;
template <ArrayName Name>
using NodeArray = Array1<double, max_pq_nodes, Name>;
template <ArrayName Name>
using NodeTexts = Array1<RenderedReal, max_pq_nodes, Name>;
struct GridNodeWork {
    Array1<RenderedReal, max_grid_l, "L_TEXT"> l_text;
    Array1<RenderedReal, max_grid_p, "P_TEXT"> p_text;
    Array1<RenderedReal, max_grid_q, "Q_TEXT"> q_text;
    NodeTexts<"NODE_R_TEXT"> r_text;
    NodeTexts<"NODE_MLAT_TEXT"> mlat_text;
    NodeArray<"NODE_P"> p;
    NodeArray<"NODE_Q"> q;
    NodeArray<"NODE_R"> r;
    NodeArray<"NODE_MLAT"> mlat;
} node;

// Every node of the full grid, whatever the cell status, node by node, l
// slowest and q fastest.  The transforms and the formatting are pure, so what
// does not depend on l is done once: pq2polar for all (p, q) nodes in one call
// and the texts of l, p, q, r and mlat.  mag2geo runs on each node at each l
// value within the chunks of records.
void write_grid_nodes() {
    static const Format node_format("(A,A,3(i5,x),15(e15.8,x))");
    static constexpr std::string_view label = "grid ";
    const GrGrid& g = gr_grid;
    start_section();
    const std::int32_t nl = g.gr_nl;
    const std::int32_t np = g.gr_np;
    const std::int32_t nq = g.gr_nq;
    check_bound(g.gr_l, nl);
    check_bound(g.gr_p, np);
    check_bound(g.gr_q, nq);
    if (nl <= 0 || np <= 0 || nq <= 0) return;
    const std::int32_t nodes = np * nq;
    for (std::int32_t ip = 1; ip <= np; ++ip) {
        for (std::int32_t iq = 1; iq <= nq; ++iq) {
            const std::int32_t k = (ip - 1) * nq + iq;
            node.p(k) = g.gr_p(ip);
            node.q(k) = g.gr_q(iq);
        }
    }
    pq2polar({node.p, node.q}, {node.r, node.mlat}, nodes);
    for (std::int32_t il = 1; il <= nl; ++il) node.l_text(il) = node_text(g.gr_l(il));
    for (std::int32_t ip = 1; ip <= np; ++ip) node.p_text(ip) = node_text(g.gr_p(ip));
    for (std::int32_t iq = 1; iq <= nq; ++iq) node.q_text(iq) = node_text(g.gr_q(iq));
    for (std::int32_t k = 1; k <= nodes; ++k) {
        node.r_text(k) = node_text(node.r(k));
        node.mlat_text(k) = node_text(node.mlat(k));
    }
    write_records(nl * nodes, node_format, field_id_length + static_cast<int>(label.size()), [&](std::int32_t i, TextUnit& buffer) {
        const std::int32_t il = (i - 1) / nodes + 1;
        const std::int32_t k = (i - 1) % nodes + 1;
        const std::int32_t ip = (k - 1) / nq + 1;
        const std::int32_t iq = (k - 1) % nq + 1;
        // r > 0 (a field line's radius): the spherical triple is the input.
        Point m{node.r(k), node.mlat(k), g.gr_l(il), 0.0, 0.0, 0.0};
        Point geo;
        mag2geo_point(m, geo);
        const RenderedReal& l_text = node.l_text(il);
        FixedRecord(buffer, node_format) << tag() << label << il << ip << iq << l_text << node.p_text(ip)
                                         << node.q_text(iq) << node.r_text(k) << node.mlat_text(k) << l_text
                                         << geo.radius << geo.latitude << geo.longitude << m.x << m.y << m.z
                                         << geo.x << geo.y << geo.z;
    });
}

// The magnetic Cartesian corners of each voxel's cross-section at its own
// magnetic longitude, found within the chunks of records.
void write_voxel_corners() {
    static const Format corner_format("(A,A,1(i5,x),12(e15.8,x))");
    static constexpr std::string_view label = "agrid";
    const CmnGVoxel& v = cmn_g_voxel;
    write_entry_records(label, corner_format, v.g_v_dimension, v.g_v_face_pl, [&](FixedRecord& record, std::int32_t i) {
        VoxelCorners corners;
        voxel_corners(i, CornerRounds::centre_longitude, corners);
        for (int k = 1; k <= corners.count; ++k) record << corners.m_x(k) << corners.m_y(k) << corners.m_z(k);
    });
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
    FreeLine(output_unit) << "g_fp_dim = " << cmn_g_face_p.dim;
    FreeLine(output_unit) << "g_fq_dim = " << cmn_g_face_q.dim;
    FreeLine(output_unit) << "g_fl_dim = " << cmn_g_face_l.dim;
    blank_line();
}

// One row per occupied cell: the cell, its voxel, the voxel's two neighbours
// and two faces in one direction.  The rows are formatted in chunks of the
// cells of one l value and up to 64 p values, which fit a chunk buffer.
constexpr std::int32_t p_per_chunk = 64;
constexpr std::size_t table_row_length = 8 * 8 + 1;  // (8i8) and the line end
static_assert(p_per_chunk * (max_grid_q - 1) * table_row_length <= TextUnit::buffer_size);

template <class... Columns>
void write_table(std::string_view title, std::string_view header, const Columns&... columns) {
    static const Format row_format("(8i8)");
    const GrGrid& g = gr_grid;
    FreeLine(output_unit) << title;
    FreeLine(output_unit) << header;
    const std::int32_t cells_l = g.gr_nl - 1;
    const std::int32_t cells_p = g.gr_np - 1;
    const std::int32_t cells_q = g.gr_nq - 1;
    if (cells_l > 0 && cells_p > 0) {
        const std::int32_t p_chunks = (cells_p - 1) / p_per_chunk + 1;
        ordered_text_chunks(
            cells_l * p_chunks,
            [&](std::int32_t chunk, TextUnit& buffer) {
                const std::int32_t il = chunk / p_chunks + 1;
                const std::int32_t ip_first = chunk % p_chunks * p_per_chunk + 1;
                const std::int32_t ip_last = std::min(cells_p, ip_first + (p_per_chunk - 1));
                for (std::int32_t ip = ip_first; ip <= ip_last; ++ip) {
                    for (std::int32_t iq = 1; iq <= cells_q; ++iq) {
                        const std::int32_t i = g.gr_stat(ip, iq, il);
                        if (i <= 0) continue;
                        FixedRecord record(buffer, row_format);
                        record << il << ip << iq << i;
                        put_elements(record, i, columns...);
                    }
                }
            },
            put_on_output_unit);
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
    write_counted_list("gr_nl ", "l_values ", g.gr_l, g.gr_nl);
    write_counted_list("gr_np ", "p_values ", g.gr_p, g.gr_np);
    write_counted_list("gr_nq ", "q_values ", g.gr_q, g.gr_nq);
    write_count("no_of_voxels ", v.g_v_dimension);
    if (cmn_io_flags.IO_GEOMETRY_FLAG != 1) return;

    write_voxels();
    write_count("no_of_p_faces  ", cmn_g_face_p.dim);
    write_faces("facep ", cmn_g_face_p);
    write_count("no_of_q_faces ", cmn_g_face_q.dim);
    write_faces("faceq ", cmn_g_face_q);
    write_counted_list("g_v_bdry_rl_dim ", "rlboundary ", v.g_v_boundary_rl, v.g_v_bdry_rl_dim);
    write_counted_list("g_v_bdry_rh_dim ", "rhboundary ", v.g_v_boundary_rh, v.g_v_bdry_rh_dim);
    write_counted_list("g_v_bdry_ph_dim ", "phboundary ", v.g_v_boundary_ph, v.g_v_bdry_ph_dim);
    write_grid_nodes();
    write_voxel_corners();

    write_summaries();
    write_tables();
}

}  // namespace vorn
