// The face records and their member list: every member listed once, under
// its kind's prefix; the walks by group; the record of a kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "geometry/records.hpp"
#include "geometry/voxel_geometry.hpp"

namespace vorn {
namespace {

// Where each listed member lies in its record, and its name.
struct Listed {
    std::size_t offset, size;
    std::string name;
};

template <class Face>
std::vector<Listed> listed_members(Face& faces) {
    std::vector<Listed> members;
    for_each_face_member(faces, [&](auto, auto& member) {
        members.push_back({static_cast<std::size_t>(reinterpret_cast<const char*>(&member) -
                                                    reinterpret_cast<const char*>(&faces)),
                           sizeof member, member.name()});
    });
    return members;
}

// The listed members fill the record after its count without gap or overlap:
// a member declared but not listed, or listed twice, shows as a hole or an
// overlap.
template <class Face>
void expect_list_covers_record(Face& faces, const std::string& prefix) {
    std::vector<Listed> members = listed_members(faces);
    ASSERT_EQ(members.size(), 31u);
    std::sort(members.begin(), members.end(), [](const Listed& a, const Listed& b) { return a.offset < b.offset; });
    std::size_t end = sizeof faces.dim;
    for (const Listed& m : members) {
        EXPECT_EQ(m.name.rfind(prefix + "_", 0), 0u) << m.name;
        EXPECT_GE(m.offset, end) << m.name << " overlaps the member before it";
        EXPECT_LT(m.offset - end, alignof(double)) << m.name << " follows a hole";
        end = m.offset + m.size;
    }
    EXPECT_EQ(end, sizeof faces);
}

TEST(FaceRecords, TheMemberListCoversEveryMember) {
    expect_list_covers_record(cmn_g_face_p, "G_FP");
    expect_list_covers_record(cmn_g_face_q, "G_FQ");
    expect_list_covers_record(cmn_g_face_l, "G_FL");
}

TEST(FaceRecords, WalkByGroupsFollowsTheGivenOrder) {
    using G = FaceGroup;
    std::vector<std::string> names;
    for_each_face_member_in<G::scale, G::area, G::coordinates>(cmn_g_face_l,
                                                               [&](const auto& m) { names.push_back(m.name()); });
    EXPECT_EQ(names, (std::vector<std::string>{"G_FL_SCALE_P", "G_FL_SCALE_Q", "G_FL_SCALE_L", "G_FL_AREA",
                                               "G_FL_M_P", "G_FL_M_Q"}));
}

TEST(FaceRecords, EachKindHasItsRecord) {
    auto address = [](auto& record) { return static_cast<const void*>(&record); };
    EXPECT_EQ(with_face_record(Axis::p, address), &cmn_g_face_p);
    EXPECT_EQ(with_face_record(Axis::q, address), &cmn_g_face_q);
    EXPECT_EQ(with_face_record(Axis::l, address), &cmn_g_face_l);
}

}  // namespace
}  // namespace vorn
