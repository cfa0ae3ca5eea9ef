// The face records: the walks of their member list by group; the record of a
// kind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "geometry/records.hpp"
#include "geometry/voxel_geometry.hpp"

namespace vorn {
namespace {

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
