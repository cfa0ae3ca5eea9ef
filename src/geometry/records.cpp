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

}  // namespace vorn
