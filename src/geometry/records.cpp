#include "geometry/records.hpp"

#include <algorithm>
#include <string_view>
#include <vector>

namespace vorn {

// Zero-initialised static storage: every record starts zeroed.
CmnIoFlags cmn_io_flags;
CmnGrInput cmn_gr_input;
CmnGrPTrans cmn_gr_p_trans;
DDipole d_dipole;
GrGrid gr_grid;
CmnGVoxel cmn_g_voxel;
CmnGFaceP cmn_g_face_p;
CmnGFaceQ cmn_g_face_q;
CmnGFaceL cmn_g_face_l;

namespace {

// Stands for a value of any type in a brace initialiser.
struct AnyValue {
    template <class T>
    operator T() const;
};

// The number of members of an aggregate: the most values it can be
// brace-initialised from.
template <class Record, class... Values>
consteval int member_count() {
    if constexpr (requires { Record{Values{}..., AnyValue{}}; })
        return member_count<Record, Values..., AnyValue>();
    else
        return static_cast<int>(sizeof...(Values));
}

// Whether the member list names every member of face record f but its count
// once: no array name comes twice, and the list is as long as the record.
template <class Face>
consteval bool lists_every_face_member(const Face& f) {
    std::vector<std::string_view> names;
    for_each_face_member(f, [&](auto, const auto& member) { names.push_back(member.name()); });
    std::sort(names.begin(), names.end());
    return std::adjacent_find(names.begin(), names.end()) == names.end() &&
           1 + static_cast<int>(names.size()) == member_count<Face>();
}

static_assert(lists_every_face_member(cmn_g_face_p) && lists_every_face_member(cmn_g_face_q) &&
                  lists_every_face_member(cmn_g_face_l),
              "every member of a face record stands once in for_each_face_member");

}  // namespace

void reset_geometry_records() {
    zero_record(cmn_io_flags);
    zero_record(cmn_gr_input);
    zero_record(cmn_gr_p_trans);
    zero_record(d_dipole);
    zero_record(gr_grid);
    zero_record(cmn_g_voxel);
    zero_record(cmn_g_face_p);
    zero_record(cmn_g_face_q);
    zero_record(cmn_g_face_l);
}

}  // namespace vorn
