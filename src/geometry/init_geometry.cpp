#include "geometry/init_geometry.hpp"

#include "geometry/cell_status.hpp"
#include "geometry/frame.hpp"
#include "geometry/grids.hpp"
#include "geometry/records.hpp"
#include "geometry/voxels.hpp"
#include "namelist/namelist.hpp"
#include "units/config_file.hpp"

namespace vorn {

void read_io_flags(const SourceLocation& where) {
    using T = NamelistItem::Type;
    CmnIoFlags& f = cmn_io_flags;
    const NamelistItem items[] = {
        {"IO_GEOMETRY_FLAG", T::integer, &f.IO_GEOMETRY_FLAG, 1},
        {"IO_PHYSICS_FLAG", T::integer, &f.IO_PHYSICS_FLAG, 1},
        {"IO_STATE_FLAG", T::integer, &f.IO_STATE_FLAG, 1},
        {"IO_EQUATION_FLAG", T::integer, &f.IO_EQUATION_FLAG, 1},
        {"IO_OPTIMIZE_FLAG", T::integer, &f.IO_OPTIMIZE_FLAG, 1},
        {"IO_OSSEDATA_FLAG", T::integer, &f.IO_OSSEDATA_FLAG, 1},
        {"IO_EXBDRIFT_FLAG", T::integer, &f.IO_EXBDRIFT_FLAG, 1},
        {"IO_APROD_FLAG", T::integer, &f.IO_APROD_FLAG, 1},
        {"IO_COVARIANCE_FLAG", T::integer, &f.IO_COVARIANCE_FLAG, 1},
        {"IO_WRITE_INITIAL_FLAG", T::integer, &f.IO_WRITE_INITIAL_FLAG, 1},
    };
    read_namelist("NML_IO_FLAGS", items, where);
}

void read_gr_input() {
    using T = NamelistItem::Type;
    CmnGrInput& g = cmn_gr_input;
    const NamelistItem items[] = {
        {"GR_I_MLON_LOW", T::real, &g.GR_I_MLON_LOW, 1},
        {"GR_I_MLON_HIGH", T::real, &g.GR_I_MLON_HIGH, 1},
        {"GR_I_DMLON", T::real, &g.GR_I_DMLON, 1},
        {"GR_I_MLAT_HLBDRY", T::real, &g.GR_I_MLAT_HLBDRY, 1},
        {"GR_I_GLAT_MLTRANS", T::real, &g.GR_I_GLAT_MLTRANS, 1},
        {"GR_I_DMLAT_EQALT300", T::real, &g.GR_I_DMLAT_EQALT300, 1},
        {"GR_I_DMLAT_HLALT300", T::real, &g.GR_I_DMLAT_HLALT300, 1},
        {"GR_I_GALT_4HLP", T::real, &g.GR_I_GALT_4HLP, 1},
        {"GR_I_GALT_LOWBDRY", T::real, &g.GR_I_GALT_LOWBDRY, 1},
        {"GR_I_GALT_LOWLIM", T::real, &g.GR_I_GALT_LOWLIM, 1},
        {"GR_I_GALT_HIBDRY", T::real, &g.GR_I_GALT_HIBDRY, 1},
        {"GR_I_GALT_HICUTOFF", T::real, &g.GR_I_GALT_HICUTOFF, 1},
        {"GR_I_DGALT_EQALT600", T::real, &g.GR_I_DGALT_EQALT600, 1},
        {"GR_I_DGALT_MLALT600", T::real, &g.GR_I_DGALT_MLALT600, 1},
        {"GR_I_MAG_TYPE", T::integer, &g.GR_I_MAG_TYPE, 1},
        {"GR_I_BULGE_MAX_LAT", T::real, &g.GR_I_BULGE_MAX_LAT, 1},
    };
    read_namelist("NML_GR_INPUT", items);
}

void init_geometry() {
    read_gr_input();
    rewind_config_file();
    set_mag(cmn_gr_input.GR_I_MAG_TYPE);
    create_grid();
    set_status();
    create_voxel();
}

}  // namespace vorn
