// The reset of the geometry records: every byte of every record back to the
// zero the run starts with.
#include <gtest/gtest.h>

#include "geometry/records.hpp"
#include "support/record_bytes.hpp"

namespace vorn {
namespace {

template <class Visit>
void each_record(Visit visit) {
    visit(cmn_io_flags);
    visit(cmn_gr_input);
    visit(cmn_gr_p_trans);
    visit(d_dipole);
    visit(gr_grid);
    visit(cmn_g_voxel);
    visit(cmn_g_face_p);
    visit(cmn_g_face_q);
    visit(cmn_g_face_l);
}

TEST(GeometryRecords, ResetZeroesEveryRecord) {
    test::expect_reset_zeroes_all([](auto visit) { each_record(visit); }, reset_geometry_records);
}

}  // namespace
}  // namespace vorn
