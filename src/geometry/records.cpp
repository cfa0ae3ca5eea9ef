#include "geometry/records.hpp"

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
