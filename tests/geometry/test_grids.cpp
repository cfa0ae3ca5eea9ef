// Grid lines: the l axis (counts, swap, cut, single longitude, accumulated
// steps), where a field line meets a sphere, the p axis in the identity,
// centred and eccentric frames (probes, truncated counts, high-latitude and
// polar lines), the q axis (symmetry, stretched and linear stretches, the top
// point) and every fatal block with its exact lines and exit status 1.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <span>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "checked_array/checked_array.hpp"
#include "geometry/dipole.hpp"
#include "geometry/frame.hpp"
#include "geometry/grids.hpp"
#include "geometry/records.hpp"
#include "geometry/stretching.hpp"
#include "run_end/end_hooks.hpp"
#include "support/test_support.hpp"
#include "units/config_file.hpp"
#include "units/units.hpp"

namespace vorn {
namespace {

namespace fs = std::filesystem;

constexpr double re = 6371200.0;
constexpr double pi = 3.141592653589793;

const GrGrid& grid = gr_grid;

void reset_grid() { std::memset(static_cast<void*>(&gr_grid), 0, sizeof gr_grid); }

std::string test_name() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// A scratch folder whose master_nml holds the stretching group, as the
// working directory of the p axis builder; the old one comes back afterwards.
class ConfigFolder {
public:
    ConfigFolder() : home_(fs::current_path()), dir_(test::scratch_dir("grids_" + test_name())) {
        test::write_file(dir_ / "master_nml", "&NML_GR_P_TRANS /\n");
        fs::current_path(dir_);
        open_config_file();
    }
    ~ConfigFolder() {
        close_unit(config_unit);
        fs::current_path(home_);
    }
    fs::path file(const char* name) const { return dir_ / name; }

private:
    fs::path home_;
    fs::path dir_;
};

// A small regional grid: 0..60 in 20-degree steps, lower boundary 100 km,
// transition at 50 deg and 800 km, high-latitude boundary at 75 deg.
CmnGrInput regional_input(std::int32_t mag_type) {
    CmnGrInput in{};
    in.GR_I_MLON_LOW = 0.0;
    in.GR_I_MLON_HIGH = 60.0;
    in.GR_I_DMLON = 20.0;
    in.GR_I_MLAT_HLBDRY = 75.0;
    in.GR_I_GLAT_MLTRANS = 50.0;
    in.GR_I_DMLAT_EQALT300 = 2.0;
    in.GR_I_DMLAT_HLALT300 = 5.0;
    in.GR_I_GALT_4HLP = 300.0e3;
    in.GR_I_GALT_LOWBDRY = 100.0e3;
    in.GR_I_GALT_LOWLIM = 150.0e3;
    in.GR_I_GALT_HIBDRY = 800.0e3;
    in.GR_I_GALT_HICUTOFF = 1500.0e3;
    in.GR_I_DGALT_EQALT600 = 100.0e3;
    in.GR_I_DGALT_MLALT600 = 100.0e3;
    in.GR_I_MAG_TYPE = mag_type;
    return in;
}

void use_input(const CmnGrInput& in) {
    cmn_gr_input = in;
    set_mag(in.GR_I_MAG_TYPE);
    reset_grid();
}

// The four values that create_grid_p hands to create_grid_q.
struct Handover {
    double midlat_pmax = 0.0;
    double midlat_mlat_max = 0.0;
    double hlbdry_p = 0.0;
    double global_mlat_max = 0.0;
};

Handover build_l_and_p(const CmnGrInput& in) {
    use_input(in);
    create_grid_l();
    Handover h;
    init_p_trans();
    create_grid_p(h.midlat_pmax, h.midlat_mlat_max, h.hlbdry_p, h.global_mlat_max);
    return h;
}

// One value as an array of one element.
ArraySpan<double> one(double& value) { return {std::span<double>(&value, 1), "VALUE"}; }

double p_to_s(double p) {
    double s = 0.0;
    p_trans(one(s), one(p), -1, 1);
    return s;
}

double p_of(double r, double lat_deg) { return polar2pq_point({r, lat_deg}).p; }

// Latitude (deg) where line p crosses radius r, from cos^2 lat = r / (p Re).
double crossing_lat(double p, double r) { return std::acos(std::sqrt(r / (p * re))) * 180.0 / pi; }

// Standard output of `body`, which must end the run through fatal_stop():
// the child's unit 6 goes to a file, read once the child has exited with 1.
template <class Body>
std::string stdout_of_fatal_stop(const fs::path& file, Body body) {
    flush_all_units();
    EXPECT_EXIT(
        {
            const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(fd, STDOUT_FILENO);
            body();
        },
        ::testing::ExitedWithCode(1), "");
    return fs::exists(file) ? test::read_file(file) : std::string();
}

template <class Body>
std::string stdout_of(Body body) {
    flush_all_units();
    ::testing::internal::CaptureStdout();
    body();
    flush_all_units();
    return ::testing::internal::GetCapturedStdout();
}

// ---------------------------------------------------------------- l axis

void build_l(double lo, double hi, double step) {
    CmnGrInput in{};
    in.GR_I_MLON_LOW = lo;
    in.GR_I_MLON_HIGH = hi;
    in.GR_I_DMLON = step;
    cmn_gr_input = in;
    reset_grid();
    create_grid_l();
}

void expect_flags(bool glb, bool two_d, bool reg) {
    EXPECT_EQ(grid.gr_glb, glb);
    EXPECT_EQ(grid.gr_2d, two_d);
    EXPECT_EQ(grid.gr_reg, reg);
}

// gr_l(2..nl-1) are accumulated steps, gr_l(nl) the far end itself.
void expect_accumulated(double lo, double step, double hi) {
    double l = lo;
    EXPECT_EQ(grid.gr_l(1), lo);
    for (int i = 2; i <= grid.gr_nl - 1; ++i) {
        l = l + step;
        EXPECT_EQ(grid.gr_l(i), l) << "i = " << i;
    }
    EXPECT_EQ(grid.gr_l(grid.gr_nl), hi);
}

TEST(LongitudeAxis, FullCircleInFiveDegreeSteps) {
    build_l(0.0, 360.0, 5.0);
    EXPECT_EQ(grid.gr_nl, 73);
    expect_flags(true, false, false);
    expect_accumulated(0.0, 5.0, 360.0);
    EXPECT_NEAR(grid.gr_l(72), 355.0, 1.0e-12);
}

TEST(LongitudeAxis, FullCircleRoundsTheHalfCircleUpToAnEvenCellCount) {
    build_l(0.0, 360.0, 7.0);
    // n = 360 / 14 = 25.714..., m = 26: 52 cells of 6.923... degrees.
    EXPECT_EQ(grid.gr_nl, 53);
    expect_flags(true, false, false);
    const double step = 360.0 * 0.5 / 26;
    expect_accumulated(0.0, step, 360.0);
    // The accumulated values are not the products lo + (i - 1) step.
    bool differs = false;
    for (int i = 2; i <= 52; ++i) differs = differs || grid.gr_l(i) != (i - 1) * step;
    EXPECT_TRUE(differs);
}

TEST(LongitudeAxis, ReversedEndsAreSwapped) {
    build_l(50.0, 10.0, 3.0);
    // range 40, n = 13.33, m = 14.
    EXPECT_EQ(grid.gr_nl, 15);
    expect_flags(false, false, true);
    expect_accumulated(10.0, 40.0 / 14, 50.0);
}

TEST(LongitudeAxis, RangeJustAbove360IsTheFullCircleAndKeepsItsEnd) {
    build_l(0.0, 360.000005, 5.0);
    EXPECT_EQ(grid.gr_nl, 73);
    expect_flags(true, false, false);
    expect_accumulated(0.0, 360.000005 * 0.5 / 36, 360.000005);
}

TEST(LongitudeAxis, RangeBeyond360IsCutToOneCircleFromTheLowEnd) {
    build_l(20.0, 420.0, 5.0);
    EXPECT_EQ(grid.gr_nl, 73);
    expect_flags(true, false, false);
    expect_accumulated(20.0, 5.0, 380.0);
}

TEST(LongitudeAxis, SingleLongitudeBecomesAThinSlab) {
    for (const double hi : {42.0, 42.000009}) {
        build_l(42.0, hi, 10.0);
        EXPECT_EQ(grid.gr_nl, 2);
        expect_flags(false, true, true);
        EXPECT_EQ(grid.gr_l(1), 42.0 - 0.005);
        EXPECT_EQ(grid.gr_l(2), 42.0 + 0.005);
    }
}

TEST(LongitudeAxis, OneRegionalStepGivesTwoValues) {
    build_l(10.0, 15.0, 5.0);
    EXPECT_EQ(grid.gr_nl, 2);
    expect_flags(false, true, true);
    EXPECT_EQ(grid.gr_l(1), 10.0);
    EXPECT_EQ(grid.gr_l(2), 15.0);
}

TEST(LongitudeAxis, CountToleranceIsOneHundredThousandth) {
    build_l(0.0, 120.0, 120.0 / 12.000004);
    EXPECT_EQ(grid.gr_nl, 13);
    build_l(0.0, 120.0, 120.0 / 12.00002);
    EXPECT_EQ(grid.gr_nl, 14);
}

TEST(LongitudeAxis, FullCircleCellsNeverExceedTheStep) {
    for (const double step : {4.5, 7.0, 11.0, 13.7, 40.0, 90.0, 200.0}) {
        build_l(30.0, 390.0, step);
        const int cells = grid.gr_nl - 1;
        EXPECT_EQ(cells % 2, 0) << step;
        EXPECT_LE(360.0 / cells, step * (1.0 + 1.0e-5)) << step;
        EXPECT_LT(cells - 2, 360.0 / step) << step;
    }
}

TEST(LongitudeAxisDeathTest, CountsOutsideTheAxisEndWithTheSubscriptReport) {
    // 1-degree steps ask for 361 values; a negative step for a negative count.
    EXPECT_DEATH(build_l(0.0, 360.0, 1.0), "value 101 in array 'GR_L'");
    EXPECT_DEATH(build_l(0.0, 360.0, -5.0), "in array 'GR_L'");
}

// ------------------------------------------------------- line meets sphere

TEST(FieldLineIntersection, MeetsTheSphereAtTheDipoleLatitude) {
    // cos^2 lat = 1.5 / 2 gives 30 degrees; q = sin 30 / 1.5^2.
    const LineCrossing inside = p_r_intersect(1.5 * re, 2.0);
    EXPECT_NEAR(inside.latitude, 30.0, 1.0e-12);
    EXPECT_NEAR(inside.q, 0.5 / 2.25, 1.0e-15);
    // At its equatorial radius the line meets the sphere on the equator.
    const LineCrossing equator = p_r_intersect(2.0 * re, 2.0);
    EXPECT_EQ(equator.latitude, 0.0);
    EXPECT_EQ(equator.q, 0.0);
}

TEST(FieldLineIntersectionDeathTest, SphereBeyondTheLineStopsTheRun) {
    ConfigFolder folder;
    const std::string out =
        stdout_of_fatal_stop(folder.file("stdout"), [] { p_r_intersect(2.0 * re * (1.0 + 1.0e-12), 2.0); });
    EXPECT_EQ(out, " p_r_intersect: Non intersection exists!\n");
}

// ---------------------------------------------------------------- p axis

// The s ratio of the mid-latitude count in the identity frame for a wanted
// equatorial step d (m).
double identity_s_ratio(const CmnGrInput& in, double midlat_pmax, double d) {
    const double s1 = p_to_s((in.GR_I_GALT_LOWBDRY + re) / re);
    const double s4 = p_to_s(midlat_pmax);
    return (s4 - s1) / (p_to_s(1.1) - p_to_s((1.1 * re - d) / re));
}

// The wanted step whose ratio is `target`.
double step_for_ratio(const CmnGrInput& in, double midlat_pmax, double target) {
    double small = 1.0, large = 1.0e6;  // the ratio falls as the step grows
    for (int k = 0; k < 200; ++k) {
        const double mid = 0.5 * (small + large);
        if (identity_s_ratio(in, midlat_pmax, mid) > target) small = mid;
        else large = mid;
    }
    return large;
}

TEST(FieldLineAxis, IdentityFrameValues) {
    ConfigFolder folder;
    CmnGrInput in = regional_input(1);
    const Handover first = build_l_and_p(in);
    // A wanted step whose s ratio has the fraction 0.75, where rounding and
    // truncation give different counts.
    in.GR_I_DGALT_EQALT600 = step_for_ratio(in, first.midlat_pmax, 20.75);
    const Handover h = build_l_and_p(in);
    const double rt = in.GR_I_GALT_HIBDRY + re;
    const double cos_trans = std::cos(50.0 * pi / 180.0);

    EXPECT_NEAR(h.midlat_mlat_max, 50.0, 1.0e-11);
    EXPECT_NEAR(h.midlat_pmax, rt / (re * cos_trans * cos_trans), 1.0e-12);
    EXPECT_NEAR(h.hlbdry_p, p_of(rt, 75.0), 1.0e-10);
    EXPECT_FALSE(grid.gr_polar_flag);

    // p_min = (lower boundary + Re) / Re, mrad_600 = 1.1 Re: the mid-latitude
    // count is the truncated s ratio plus one.
    const double s1 = p_to_s((in.GR_I_GALT_LOWBDRY + re) / re);
    const double s2 = p_to_s((1.1 * re - in.GR_I_DGALT_EQALT600) / re);
    const double s3 = p_to_s(1.1);
    const double s4 = p_to_s(h.midlat_pmax);
    const double ratio = (s4 - s1) / (s3 - s2);
    ASSERT_NEAR(ratio, 20.75, 0.01);
    const int n_mid = static_cast<int>(ratio) + 1;
    EXPECT_NEAR(grid.gr_p(1), (in.GR_I_GALT_LOWBDRY + re) / re, 1.0e-13);
    EXPECT_NEAR(grid.gr_p(n_mid), h.midlat_pmax, 1.0e-12);
    for (int i = 2; i <= n_mid; ++i) EXPECT_GT(grid.gr_p(i), grid.gr_p(i - 1));

    // High-latitude lines cross mrad_4hlp = 300 km + Re at evenly spaced
    // latitudes no wider than the step, the last on the boundary line.
    const double r4 = in.GR_I_GALT_4HLP + re;
    const double lat_mid = crossing_lat(h.midlat_pmax, r4);
    const double lat_top = crossing_lat(h.hlbdry_p, r4);
    const int n_hl = static_cast<int>((lat_top - lat_mid) / in.GR_I_DMLAT_HLALT300) + 1;
    ASSERT_EQ(grid.gr_np, n_mid + n_hl);
    const double dlat = (lat_top - lat_mid) / n_hl;
    EXPECT_LE(dlat, in.GR_I_DMLAT_HLALT300);
    for (int i = 1; i <= n_hl; ++i)
        EXPECT_NEAR(crossing_lat(grid.gr_p(n_mid + i), r4), lat_mid + i * dlat, 1.0e-9) << i;
    EXPECT_NEAR(grid.gr_p(grid.gr_np), h.hlbdry_p, 1.0e-9 * h.hlbdry_p);
    EXPECT_NEAR(h.global_mlat_max, lat_top, 1.0e-9);
}

TEST(FieldLineAxis, MidLatitudeLinesComeFromTheStretchedCoordinateDirectly) {
    ConfigFolder folder;
    CmnGrInput in = regional_input(3);
    in.GR_I_MLAT_HLBDRY = 30.0;  // no high-latitude lines
    const Handover h = build_l_and_p(in);

    // The four reference values as the builder forms them.
    double grad_sum = 0.0;
    double p_min = 1.0e32;
    for (int i = 1; i <= grid.gr_nl; ++i) {
        const double g = geographic_radius(re, 0.0, grid.gr_l(i));
        grad_sum = grad_sum + g;
        p_min = std::fmin(p_min, (in.GR_I_GALT_LOWBDRY + re - g + re) / re);
    }
    const double mrad_600 = 7008320.000000001 - grad_sum / grid.gr_nl + re;
    double p_ref[4] = {p_min, (mrad_600 - in.GR_I_DGALT_EQALT600) / re, mrad_600 / re, h.midlat_pmax};
    double s_ref[4];
    p_trans({s_ref, "S_REF"}, {p_ref, "P_REF"}, -1, 4);
    const int np = static_cast<int>((s_ref[3] - s_ref[0]) / (s_ref[2] - s_ref[1])) + 1;
    ASSERT_EQ(grid.gr_np, np);
    const double ds = (s_ref[3] - s_ref[0]) / (np - 1);
    for (int i = 1; i <= np; ++i) {
        double s = s_ref[0] + (i - 1) * ds;
        double p;
        p_trans(one(s), one(p), 1, 1);
        EXPECT_EQ(grid.gr_p(i), p) << "i = " << i;
    }
    EXPECT_EQ(h.global_mlat_max, 0.0);
}

TEST(FieldLineAxis, LowestLineMeetsTheLowerBoundaryAtItsHighestProbe) {
    ConfigFolder folder;
    CmnGrInput in = regional_input(3);
    in.GR_I_MLON_LOW = 0.0;
    in.GR_I_MLON_HIGH = 300.0;
    in.GR_I_DMLON = 60.0;
    build_l_and_p(in);
    double first = 0.0;
    double lowest = 1.0e32;
    for (int i = 1; i <= grid.gr_nl; ++i) {
        const double p = (in.GR_I_GALT_LOWBDRY + re - geographic_radius(re, 0.0, grid.gr_l(i)) + re) / re;
        if (i == 1) first = p;
        lowest = std::fmin(lowest, p);
    }
    ASSERT_GT(first - lowest, 1.0e-3) << "the eccentric frame must make the probes differ";
    EXPECT_NEAR(grid.gr_p(1), lowest, 1.0e-13);
}

TEST(FieldLineAxis, TransitionProbesTakeTheLongitudeAsGeographic) {
    ConfigFolder folder;
    const CmnGrInput in = regional_input(2);
    const Handover h = build_l_and_p(in);
    double pmax = 0.0;
    double mlat_max = 0.0;
    double pmax_magnetic = 0.0;  // the same probes at magnetic longitude l
    for (int i = 1; i <= grid.gr_nl; ++i) {
        for (const double glat0 : {50.0, -50.0}) {
            Point probe{in.GR_I_GALT_HIBDRY + re, glat0, grid.gr_l(i), 0.0, 0.0, 0.0};
            Point m;
            geo2mag_point(probe, m);
            pmax = std::fmax(pmax, p_of(m.radius, m.latitude));
            mlat_max = std::fmax(mlat_max, m.latitude);
        }
        pmax_magnetic = std::fmax(pmax_magnetic, p_of(in.GR_I_GALT_HIBDRY + re, 50.0));
    }
    EXPECT_EQ(h.midlat_pmax, pmax);
    EXPECT_EQ(h.midlat_mlat_max, mlat_max);
    EXPECT_GT(std::fabs(pmax - pmax_magnetic), 1.0e-3);
}

TEST(FieldLineAxis, LowBoundaryLineAddsNoHighLatitudeLines) {
    ConfigFolder folder;
    CmnGrInput in = regional_input(1);
    in.GR_I_MLAT_HLBDRY = 40.0;  // its line lies below the transition line
    use_input(in);
    create_grid_l();
    Handover h;
    h.global_mlat_max = -7.0;  // must stay as the caller left it
    init_p_trans();
    create_grid_p(h.midlat_pmax, h.midlat_mlat_max, h.hlbdry_p, h.global_mlat_max);
    EXPECT_LT(h.hlbdry_p, h.midlat_pmax);
    EXPECT_EQ(h.global_mlat_max, -7.0);
    EXPECT_NEAR(grid.gr_p(grid.gr_np), h.midlat_pmax, 1.0e-12);
}

TEST(FieldLineAxis, PolarGridAbove89Point5) {
    ConfigFolder folder;
    CmnGrInput in = regional_input(1);
    in.GR_I_MLAT_HLBDRY = 89.5;
    const Handover at = build_l_and_p(in);
    EXPECT_FALSE(grid.gr_polar_flag);
    in.GR_I_MLAT_HLBDRY = 89.6;
    const Handover above = build_l_and_p(in);
    EXPECT_TRUE(grid.gr_polar_flag);
    // Above 89.5 the boundary line is taken at 89.5.
    EXPECT_NEAR(above.hlbdry_p, at.hlbdry_p, 1.0e-13 * at.hlbdry_p);
    EXPECT_NEAR(above.hlbdry_p, p_of(in.GR_I_GALT_HIBDRY + re, 89.5), 1.0e-12 * at.hlbdry_p);
}

TEST(FieldLineAxisDeathTest, HundredLinesPassAndHundredAndOneStopBeforeAnyLineIsWritten) {
    ConfigFolder folder;
    CmnGrInput in = regional_input(1);
    in.GR_I_MLAT_HLBDRY = 30.0;
    const Handover h = build_l_and_p(in);

    in.GR_I_DGALT_EQALT600 = step_for_ratio(in, h.midlat_pmax, 99.5);
    build_l_and_p(in);
    EXPECT_EQ(grid.gr_np, 100);

    in.GR_I_DGALT_EQALT600 = step_for_ratio(in, h.midlat_pmax, 100.5);
    static fs::path untouched_mark;
    untouched_mark = folder.file("gr_p_untouched");
    const std::string out = stdout_of_fatal_stop(folder.file("stdout"), [&] {
        use_input(in);
        create_grid_l();
        for (int i = 1; i <= max_grid_p; ++i) gr_grid.gr_p(i) = -1.0;
        std::atexit([] {
            bool untouched = true;
            for (int i = 1; i <= max_grid_p; ++i) untouched = untouched && gr_grid.gr_p(i) == -1.0;
            if (untouched) test::write_file(untouched_mark, "yes");
        });
        Handover stop;
        init_p_trans();
        create_grid_p(stop.midlat_pmax, stop.midlat_mlat_max, stop.hlbdry_p, stop.global_mlat_max);
    });
    EXPECT_EQ(out,
              " Error in init_geometry: p grid size too large\n gr_np=  101\n"
              " Error in init_geometry: p grid size too large\n gr_np=  101\n");
    EXPECT_TRUE(fs::exists(untouched_mark));
}

TEST(FieldLineAxisDeathTest, TooManyHighLatitudeLinesStop) {
    ConfigFolder folder;
    CmnGrInput in = regional_input(1);
    in.GR_I_DMLAT_HLALT300 = 0.2;  // about 130 lines from 51 to 75 degrees
    const std::string out = stdout_of_fatal_stop(folder.file("stdout"), [&] { build_l_and_p(in); });
    const std::string block = " Error in init_geometry: p grid size too large\n";
    ASSERT_EQ(out.substr(0, block.size()), block);
    const std::size_t end = out.find('\n', block.size());
    const std::string count_line = out.substr(block.size(), end - block.size());
    ASSERT_EQ(count_line.substr(0, 13), " global_np=  ");
    EXPECT_GT(std::stoi(count_line.substr(13)), 100);
    EXPECT_EQ(out, block + count_line + "\n" + block + count_line + "\n");
}

TEST(FieldLineAxisDeathTest, BoundaryLineTooSteepAtTheHighLatitudeAltitude) {
    ConfigFolder folder;
    CmnGrInput in = regional_input(1);
    in.GR_I_MLAT_HLBDRY = 89.5;
    in.GR_I_GALT_4HLP = -6.32e6;  // 51.2 km from the centre: the line is at 89.96 deg there
    const std::string out = stdout_of_fatal_stop(folder.file("stdout"), [&] { build_l_and_p(in); });
    const std::string block =
        " Magnetic latitude exceeds the allowed limit.\n"
        " Please give a smaller value for\n"
        "             the high-latitude boundary.\n"
        " Program stopped.\n";
    EXPECT_EQ(out, block + block);
}

TEST(FieldLineAxisDeathTest, HighLatitudeAltitudeBeyondTheBoundaryLine) {
    ConfigFolder folder;
    CmnGrInput in = regional_input(1);
    in.GR_I_MLAT_HLBDRY = 60.0;    // line p = 4.5
    in.GR_I_GALT_4HLP = 4.0 * re;  // radius 5 Re
    const std::string out = stdout_of_fatal_stop(folder.file("stdout"), [&] { build_l_and_p(in); });
    EXPECT_EQ(out, " p_r_intersect: Non intersection exists!\n");
}

// ---------------------------------------------------------------- q axis

// Inputs of the q axis in the identity frame over two longitudes.
void use_q_input(std::int32_t mag_type, double dmlat_eq, double dgalt_ml) {
    CmnGrInput in = regional_input(mag_type);
    in.GR_I_DMLAT_EQALT300 = dmlat_eq;
    in.GR_I_DGALT_MLALT600 = dgalt_ml;
    use_input(in);
    create_grid_l();
}

std::string build_q(double midlat_pmax, double midlat_mlat_max, double global_mlat_max) {
    return stdout_of([&] { create_grid_q(midlat_pmax, midlat_mlat_max, 0.0, global_mlat_max); });
}

double foot_q(double midlat_pmax) { return p_r_intersect(cmn_gr_input.GR_I_GALT_LOWBDRY + re, midlat_pmax).q; }

// |dq/dr| at 1.1 Re on the equator times sin(lat) and the step.
double q_step(double lat_deg, double dr) { return std::sin(lat_deg * pi / 180.0) * 2.0 * dr / (1.331 * re); }

void expect_mirrored() {
    const int nq = grid.gr_nq;
    ASSERT_EQ(nq % 2, 1);
    const int middle = (nq + 1) / 2;
    EXPECT_EQ(grid.gr_q(middle), 0.0);
    EXPECT_FALSE(std::signbit(grid.gr_q(middle)));
    for (int k = 1; k <= nq; ++k) EXPECT_EQ(grid.gr_q(k), -grid.gr_q(nq + 1 - k)) << k;
    for (int k = 2; k <= nq; ++k) EXPECT_GT(grid.gr_q(k), grid.gr_q(k - 1)) << k;
}

// The number after the text of a free-format line "text" << real.
double value_after(const std::string& out, const std::string& text) {
    const std::size_t at = out.find(" " + text);
    EXPECT_NE(at, std::string::npos) << text;
    std::string field = out.substr(at + 1 + text.size(), 23);
    std::replace(field.begin(), field.end(), 'D', 'E');
    return std::stod(field);
}

TEST(AlongLineAxis, StretchedThenEvenStepsUpToTheFootOfTheLastLine) {
    use_q_input(1, 2.0, 100.0e3);
    const double pmax = 3.0, mlat_max = 55.0;
    const std::string out = build_q(pmax, mlat_max, 0.0);
    expect_mirrored();

    const double dq_eq = std::pow(1.0 / 1.04, 2) * std::sin(2.0 * pi / 180.0);
    const double q_mid = std::sin(mlat_max * pi / 180.0) / 1.21;
    const double dq_mid = q_step(mlat_max, 100.0e3);
    const double q_max = foot_q(pmax);
    ASSERT_LE(dq_eq, q_mid);

    const int half = (grid.gr_nq - 1) / 2;
    auto north = [&](int k) { return grid.gr_q(half + 1 + k); };  // north(0) = 0.0
    ASSERT_GE(half, 3);
    EXPECT_NEAR(north(1), dq_eq, 1.0e-12);
    EXPECT_EQ(north(half), q_max);
    int above = 0;
    for (int k = 2; k < half; ++k) {
        const double step = north(k) - north(k - 1);
        // Stretched steps shrink towards q_mid; above it every step is dq_mid.
        if (north(k) <= 0.9 * q_mid) {
            EXPECT_LT(step, north(k - 1) - north(k - 2)) << k;
        }
        if (north(k) > q_mid) {
            EXPECT_NEAR(step, dq_mid, 1.0e-12) << k;
            ++above;
        }
    }
    EXPECT_GE(above, 2);

    // The lines on every run: acosh of the step ratio over q_mid, and d_chi.
    const double gamma = std::acosh(dq_eq / dq_mid) / q_mid;
    EXPECT_EQ(out.substr(0, 7), " gamma=");
    EXPECT_NEAR(value_after(out, "gamma="), gamma, 1.0e-12 * gamma);
    const double d_chi = std::sinh(gamma * dq_eq) / std::sinh(gamma * q_max);
    EXPECT_NEAR(value_after(out, "d_chi="), d_chi, 1.0e-12 * d_chi);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
}

TEST(AlongLineAxis, RatioNotAboveOneGivesGammaFive) {
    // dq_eq 0.081 against dq_mid 0.097.
    use_q_input(1, 5.0, 500.0e3);
    const std::string out = build_q(3.0, 55.0, 0.0);
    EXPECT_EQ(out.substr(0, out.find('\n') + 1), " gamma=    5.0000000000000\n");
    expect_mirrored();
}

TEST(AlongLineAxis, OneMidLatitudeInterval) {
    // dq_eq > q_mid leaves no stretched interval; (q_max - q_mid) / dq_mid is 1.5.
    const double pmax = 2.0, mlat_max = 30.0;
    use_q_input(1, 30.0, 1.0);
    const double q_max = foot_q(pmax);
    const double q_mid = std::sin(mlat_max * pi / 180.0) / 1.21;
    use_q_input(1, 30.0, (q_max - q_mid) / 1.5 / q_step(mlat_max, 1.0));
    build_q(pmax, mlat_max, 0.0);
    ASSERT_EQ(grid.gr_nq, 3);
    EXPECT_EQ(grid.gr_q(1), -q_max);
    EXPECT_EQ(grid.gr_q(2), 0.0);
    EXPECT_EQ(grid.gr_q(3), q_max);
}

TEST(AlongLineAxis, NoMidLatitudeIntervalLeavesTheSingleValueQMax) {
    const double pmax = 2.0, mlat_max = 30.0;
    use_q_input(1, 30.0, 1.0);
    const double q_max = foot_q(pmax);
    const double q_mid = std::sin(mlat_max * pi / 180.0) / 1.21;
    use_q_input(1, 30.0, (q_max - q_mid) / 0.5 / q_step(mlat_max, 1.0));
    build_q(pmax, mlat_max, 0.0);
    EXPECT_EQ(grid.gr_nq, 1);
    EXPECT_EQ(grid.gr_q(1), q_max);
}

// The axis for pmax 3.0, mlat_max 55 with high-latitude lines up to
// global_mlat_max, and the same without.
struct Extension {
    int midlat_nq;
    double q_max;
    double q_top;
    double dq_hl;
};

Extension build_extended(std::int32_t mag_type, double dgalt_ml, double global_mlat_max) {
    use_q_input(mag_type, 2.0, std::fabs(dgalt_ml));
    build_q(3.0, 55.0, 0.0);
    Extension e;
    e.midlat_nq = (grid.gr_nq - 1) / 2;
    e.q_max = foot_q(3.0);
    use_q_input(mag_type, 2.0, dgalt_ml);
    build_q(3.0, 55.0, global_mlat_max);
    const double r_low = cmn_gr_input.GR_I_GALT_LOWBDRY + re;
    e.q_top = std::pow(re / r_low, 2) * std::sin(global_mlat_max * pi / 180.0);
    e.dq_hl = std::copysign(q_step(global_mlat_max, std::fabs(dgalt_ml)), dgalt_ml);
    return e;
}

TEST(AlongLineAxis, HighLatitudeExtensionInLinearSteps) {
    const Extension e = build_extended(1, 100.0e3, 80.0);
    const int nq_hl = static_cast<int>((e.q_top - e.q_max) / e.dq_hl);
    ASSERT_GE(nq_hl, 2);
    ASSERT_EQ(grid.gr_nq, (nq_hl + e.midlat_nq) * 2 + 1);
    expect_mirrored();
    const int half = (grid.gr_nq - 1) / 2;
    auto north = [&](int k) { return grid.gr_q(half + 1 + k); };
    EXPECT_EQ(north(e.midlat_nq), e.q_max);
    for (int k = e.midlat_nq + 1; k < half; ++k) EXPECT_NEAR(north(k) - north(k - 1), e.dq_hl, 1.0e-12) << k;
    EXPECT_NEAR(north(half), e.q_top, 1.0e-14);
    const double last = north(half) - north(half - 1);
    EXPECT_GE(last, e.dq_hl * (1.0 - 1.0e-9));
    EXPECT_LT(last, 2.0 * e.dq_hl);
}

TEST(AlongLineAxis, TopWithinTheToleranceAddsNothing) {
    use_q_input(1, 2.0, 100.0e3);
    const double q_max = foot_q(3.0);
    const double r_low = cmn_gr_input.GR_I_GALT_LOWBDRY + re;
    const double just_above = std::asin((q_max + 5.0e-6) * std::pow(r_low / re, 2)) * 180.0 / pi;
    build_q(3.0, 55.0, 0.0);
    const int nq = grid.gr_nq;
    build_q(3.0, 55.0, just_above);
    EXPECT_EQ(grid.gr_nq, nq);
    EXPECT_EQ(grid.gr_q(nq), q_max);
}

TEST(AlongLineAxis, TopLessThanOneStepAboveReplacesQMax) {
    use_q_input(1, 2.0, 100.0e3);
    const double q_max = foot_q(3.0);
    const double r_low = cmn_gr_input.GR_I_GALT_LOWBDRY + re;
    // q_top = q_max + 0.5 dq_hl (dq_hl taken at about 60 degrees).
    const double top = std::asin((q_max + 0.5 * q_step(60.0, 100.0e3)) * std::pow(r_low / re, 2)) * 180.0 / pi;
    build_q(3.0, 55.0, 0.0);
    const int nq = grid.gr_nq;
    build_q(3.0, 55.0, top);
    const double q_top = std::pow(re / r_low, 2) * std::sin(top * pi / 180.0);
    ASSERT_LT(q_top - q_max, q_step(top, 100.0e3));
    EXPECT_EQ(grid.gr_nq, nq);
    EXPECT_NEAR(grid.gr_q(nq), q_top, 1.0e-14);
    expect_mirrored();
}

TEST(AlongLineAxis, NegativeMidLatitudeStepShrinksTheHighLatitudeCount) {
    // dq_mid takes the magnitude, dq_hl keeps the sign: nq_hl turns negative.
    const Extension e = build_extended(1, -400.0e3, 80.0);
    const int nq_hl = static_cast<int>((e.q_top - e.q_max) / e.dq_hl);
    ASSERT_LT(nq_hl, 0);
    ASSERT_EQ(grid.gr_nq, (nq_hl + e.midlat_nq) * 2 + 1);
    EXPECT_NEAR(grid.gr_q(grid.gr_nq), e.q_top, 1.0e-14);
    expect_mirrored();
}

TEST(AlongLineAxis, EccentricTopPointIsLoweredOnceByTheHighestProbe) {
    use_q_input(3, 2.0, 100.0e3);
    gr_grid.gr_nl = 4;
    for (int i = 1; i <= 4; ++i) gr_grid.gr_l(i) = 90.0 * (i - 1);
    const double g = 70.0;
    build_q(3.0, 55.0, g);
    const double r_low = cmn_gr_input.GR_I_GALT_LOWBDRY + re;
    double grad_max = r_low;
    for (int i = 1; i <= grid.gr_nl; ++i) grad_max = std::fmax(grad_max, geographic_radius(r_low, g, grid.gr_l(i)));
    ASSERT_GT(grad_max - r_low, 1.0e3);
    const double mrad_top = r_low - (grad_max - r_low);
    EXPECT_EQ(grid.gr_q(grid.gr_nq), (re / mrad_top) * (re / mrad_top) * std::sin(g * 0.017453292519943295));
}

// A mid-latitude step (m) for which the q count 2 midlat_nq + 1 first
// exceeds the capacity, found on a fine scan of the count rule.
double step_for_201_values(double pmax, double mlat_max, double dmlat_eq) {
    const double dq_eq = std::pow(0.9615384615384616, 2) * std::sin(dmlat_eq * 0.017453292519943295);
    const double q_mid = std::sin(mlat_max * 0.017453292519943295) * std::pow(0.909090909090909, 2);
    const double q_max = foot_q(pmax);
    auto count = [&](double d) {
        const double dq_mid = q_step(mlat_max, d);
        const double ratio = dq_eq / dq_mid;
        const double gamma = ratio > 1.0 ? std::acosh(ratio) / q_mid : 5.0;
        const double chi_mid = std::sinh(gamma * q_mid) / std::sinh(gamma * q_max);
        const double d_chi = std::sinh(gamma * dq_eq) / std::sinh(gamma * q_max);
        return 2 * (static_cast<int>(chi_mid / d_chi) + static_cast<int>((q_max - q_mid) / dq_mid)) + 1;
    };
    double d = 100.0e3;
    while (count(d) <= 199) d *= 0.999;
    EXPECT_EQ(count(d), 201);
    EXPECT_EQ(count(d / 0.999), 199);
    return d;
}

TEST(AlongLineAxisDeathTest, TwoHundredAndOneValuesStopAfterTheTwoLines) {
    use_q_input(1, 2.0, 1.0);
    const double d = step_for_201_values(3.0, 55.0, 2.0);
    use_q_input(1, 2.0, d / 0.999);
    build_q(3.0, 55.0, 0.0);
    EXPECT_EQ(grid.gr_nq, 199);

    ConfigFolder folder;
    use_q_input(1, 2.0, d);
    const std::string out = stdout_of_fatal_stop(folder.file("stdout"), [] { create_grid_q(3.0, 55.0, 0.0, 0.0); });
    const std::size_t block = out.find(" Error");
    ASSERT_NE(block, std::string::npos) << out;
    EXPECT_EQ(out.substr(0, 7), " gamma=");
    EXPECT_EQ(out.substr(out.find('\n') + 1, 7), " d_chi=");
    EXPECT_EQ(std::count(out.begin(), out.begin() + block, '\n'), 2);
    EXPECT_EQ(out.substr(block), " Error in init_geometry: q grid size too large\n gr_nq=  201\n gr_nq=  201\n");
}

TEST(AlongLineAxisDeathTest, TooManyHighLatitudeValuesStop) {
    // A transition just below the foot of the last line and a wide equatorial
    // step keep the mid-latitude part short; the 5 km step then asks for some
    // 150 intervals up to 85 degrees.
    ConfigFolder folder;
    use_q_input(1, 30.0, 5.0e3);
    const double mlat_max = std::asin((foot_q(3.0) - 0.005) * 1.21) * 180.0 / pi;
    const std::string out = stdout_of_fatal_stop(folder.file("stdout"), [&] { create_grid_q(3.0, mlat_max, 0.0, 85.0); });
    const std::size_t block = out.find(" Error");
    ASSERT_NE(block, std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.begin() + block, '\n'), 2);
    const std::string head = " Error in init_geometry: q grid size too large\n global_nq=  ";
    ASSERT_EQ(out.substr(block, head.size()), head);
    EXPECT_GT(std::stoi(out.substr(block + head.size())), 200);
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(std::count(out.begin() + block, out.end(), '\n'), 2);
}

// ---------------------------------------------------------------- driver

TEST(GridDriver, BuildsTheThreeAxesInOrder) {
    ConfigFolder folder;
    const CmnGrInput in = regional_input(2);
    const Handover h = build_l_and_p(in);
    const int np = grid.gr_np;
    const double top_p = grid.gr_p(np);
    use_input(in);
    const std::string out = stdout_of([] { create_grid(); });
    EXPECT_EQ(grid.gr_nl, 4);
    EXPECT_EQ(grid.gr_np, np);
    EXPECT_EQ(grid.gr_p(np), top_p);
    EXPECT_EQ(out.substr(0, 7), " gamma=");
    expect_mirrored();
    // The q axis reaches the lower boundary at the last high-latitude line.
    const double r_low = in.GR_I_GALT_LOWBDRY + re;
    EXPECT_GT(grid.gr_q(grid.gr_nq), foot_q(h.midlat_pmax));
    EXPECT_NEAR(grid.gr_q(grid.gr_nq), std::pow(re / r_low, 2) * std::sin(h.global_mlat_max * pi / 180.0), 1.0e-3);
}

}  // namespace
}  // namespace vorn
