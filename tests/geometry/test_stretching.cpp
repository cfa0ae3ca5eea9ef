// Field-line stretching: the knot tables and the NaN check of their knots,
// s <-> p round trips for rising, falling and constant ratios, in-place
// conversion, the wrong-flag message and the reading of NML_GR_P_TRANS.
#include <cfenv>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checked_array/checked_array.hpp"
#include "geometry/records.hpp"
#include "geometry/stretching.hpp"
#include "support/captured_output.hpp"
#include "support/test_support.hpp"
#include "units/config_file.hpp"
#include "units/units.hpp"

namespace vorn {
namespace {

namespace fs = std::filesystem;

const CmnGrPTrans& tables = cmn_gr_p_trans;

// Zeroes the record, sets the knots and builds the tables.
void configure(std::initializer_list<double> alt_km, std::initializer_list<double> ratio) {
    cmn_gr_p_trans = {};
    cmn_gr_p_trans.GR_N_CONTROL = static_cast<std::int32_t>(alt_km.size());
    int k = 1;
    for (double a : alt_km) cmn_gr_p_trans.GR_CONTROL_ALT(k++) = a;
    k = 1;
    for (double r : ratio) cmn_gr_p_trans.GR_SIZE_RATIO(k++) = r;
    build_p_trans_tables();
}

void configure_defaults() { configure({100.0, 500.0, 1000.0, 1500.0, 2000.0}, {1.0, 1.0, 2.0, 5.0, 10.0}); }

// One value as an array of one element.
ArraySpan<double> one(double& value) { return {std::span<double>(&value, 1), "VALUE"}; }

double s_to_p(double s) {
    double p = 0.0;
    p_trans(one(s), one(p), 1, 1);
    return p;
}

double p_to_s(double p) {
    double s = 0.0;
    p_trans(one(s), one(p), -1, 1);
    return s;
}

void expect_default_tables() {
    const double s_max = 0.1479873717442778;
    const double ratio[] = {1.0, 1.0, 2.0, 5.0, 10.0};
    const double s[] = {0.0, 14.0 / 33.0, 7.0 / 9.0, 92.0 / 99.0, 1.0};
    const double alt_km[] = {100.0, 500.0, 1000.0, 1500.0, 2000.0};
    EXPECT_EQ(tables.GR_N_CONTROL, 5);
    EXPECT_EQ(tables.GR_P_KNOTS(1), 1.0156956303365143);
    EXPECT_EQ(tables.GR_P_KNOTS(5), 1.3139126067302862);
    for (int k = 1; k <= 5; ++k) {
        EXPECT_NEAR(tables.GR_P_KNOTS(k), (earth_radius + alt_km[k - 1] * 1000.0) / earth_radius, 1e-15);
        EXPECT_NEAR(tables.GR_S_KNOTS(k), s[k - 1], 2e-15) << k;
        EXPECT_EQ(tables.GR_DP_DS(k), s_max * ratio[k - 1]) << k;
    }
    EXPECT_EQ(tables.GR_S_KNOTS(1), 0.0);
    EXPECT_EQ(tables.GR_S_KNOTS(5), 1.0);
}

TEST(PTransTables, DefaultKnots) {
    configure_defaults();
    expect_default_tables();
}

TEST(PTransTables, PassesThroughEveryKnotWithTheSlopeOfTheTable) {
    configure_defaults();
    for (int k = 1; k <= 5; ++k) {
        const double sk = tables.GR_S_KNOTS(k);
        EXPECT_NEAR(s_to_p(sk), tables.GR_P_KNOTS(k), 1e-15) << k;
        const double h = 1e-7;
        EXPECT_NEAR((s_to_p(sk + h) - s_to_p(sk - h)) / (2 * h), tables.GR_DP_DS(k), 1e-6) << k;
    }
}

TEST(PTransTables, ANaNKnotRaisesInvalidOperationOnlyWithinTheKnotCount) {
    const double nan = std::nan("");
    // Knot 6 of five is never read.
    configure_defaults();
    cmn_gr_p_trans.GR_CONTROL_ALT(6) = nan;
    cmn_gr_p_trans.GR_SIZE_RATIO(6) = nan;
    std::feclearexcept(FE_ALL_EXCEPT);
    build_p_trans_tables();
    EXPECT_EQ(std::fetestexcept(FE_INVALID), 0);
    expect_default_tables();
    // Building from a NaN knot computes quietly; only the check raises.
    for (int k = 1; k <= 5; ++k) {
        for (const bool altitude : {true, false}) {
            configure_defaults();
            (altitude ? cmn_gr_p_trans.GR_CONTROL_ALT(k) : cmn_gr_p_trans.GR_SIZE_RATIO(k)) = nan;
            std::feclearexcept(FE_ALL_EXCEPT);
            build_p_trans_tables();
            EXPECT_NE(std::fetestexcept(FE_INVALID), 0) << "knot " << k << (altitude ? " altitude" : " ratio");
        }
    }
}

TEST(PTrans, SToPWithinASegmentIsTheQuadraticOfItsKnots) {
    configure_defaults();
    // 14/33 < 0.5 <= 7/9: segment 3.
    const double s0 = tables.GR_S_KNOTS(2), s1 = tables.GR_S_KNOTS(3);
    const double d0 = tables.GR_DP_DS(2), d1 = tables.GR_DP_DS(3);
    const double u = 0.5 - s0;
    EXPECT_NEAR(s_to_p(0.5), tables.GR_P_KNOTS(2) + d0 * u + (d1 - d0) * u * u / (2 * (s1 - s0)), 1e-15);
}

struct Ratios {
    const char* name;
    std::vector<double> alt_km;
    std::vector<double> ratio;
};

const Ratios ratio_cases[] = {
    {"rising", {100.0, 500.0, 1000.0, 1500.0, 2000.0}, {1.0, 1.0, 2.0, 5.0, 10.0}},
    {"falling", {100.0, 500.0, 1000.0, 1500.0, 2000.0}, {10.0, 5.0, 2.0, 1.0, 1.0}},
    {"constant", {100.0, 500.0, 1000.0, 1500.0, 2000.0}, {3.0, 3.0, 3.0, 3.0, 3.0}},
    {"mixed", {80.0, 300.0, 700.0, 1200.0}, {1.0, 4.0, 2.0, 3.0}},
};

void configure(const Ratios& c) {
    cmn_gr_p_trans = {};
    cmn_gr_p_trans.GR_N_CONTROL = static_cast<std::int32_t>(c.alt_km.size());
    for (std::size_t k = 0; k < c.alt_km.size(); ++k) {
        cmn_gr_p_trans.GR_CONTROL_ALT(static_cast<int>(k) + 1) = c.alt_km[k];
        cmn_gr_p_trans.GR_SIZE_RATIO(static_cast<int>(k) + 1) = c.ratio[k];
    }
    build_p_trans_tables();
}

TEST(PTrans, PToSToPRoundTripsInsideAndOutsideTheKnots) {
    for (const Ratios& c : ratio_cases) {
        configure(c);
        const int n = tables.GR_N_CONTROL;
        const double low = tables.GR_P_KNOTS(1), high = tables.GR_P_KNOTS(n);
        // Outside by a twentieth of the end segments, where their quadratics
        // still rise.
        const double below = low - 0.05 * (tables.GR_P_KNOTS(2) - low);
        const double above = high + 0.05 * (high - tables.GR_P_KNOTS(n - 1));
        for (int i = 0; i <= 60; ++i) {
            const double p = below + (above - below) * i / 60.0;
            const double s = p_to_s(p);
            EXPECT_NEAR(s_to_p(s), p, 2e-15) << c.name << " p=" << p;
            if (p < low) {
                EXPECT_LT(s, 0.0) << c.name;
            } else if (p > high) {
                EXPECT_GT(s, 1.0) << c.name;
            } else if (p > low && p < high) {
                EXPECT_GT(s, 0.0) << c.name;
                EXPECT_LT(s, 1.0) << c.name;
            }
        }
        for (int k = 1; k <= n; ++k) EXPECT_NEAR(p_to_s(tables.GR_P_KNOTS(k)), tables.GR_S_KNOTS(k), 1e-13);
    }
}

TEST(PTrans, SToPToSRoundTrips) {
    for (const Ratios& c : ratio_cases) {
        configure(c);
        for (int i = 0; i <= 50; ++i) {
            const double s = -0.01 + 1.02 * i / 50.0;
            EXPECT_NEAR(p_to_s(s_to_p(s)), s, 1e-13) << c.name << " s=" << s;
        }
    }
}

TEST(PTrans, EqualRatiosInvertLinearly) {
    configure({100.0, 500.0, 1000.0, 1500.0, 2000.0}, {3.0, 3.0, 3.0, 3.0, 3.0});
    const double low = tables.GR_P_KNOTS(1), high = tables.GR_P_KNOTS(5);
    for (double p : {low - 0.1, low, 1.1, 1.25, high, high + 0.2})
        EXPECT_NEAR(p_to_s(p), (p - low) / (high - low), 1e-14) << p;
    // A slope change within 1.0e-8 counts as none.
    configure({100.0, 500.0, 1000.0}, {1.0, 1.0, 1.0 + 5e-8});
    ASSERT_LE(std::fabs(tables.GR_DP_DS(3) - tables.GR_DP_DS(2)), 1.0e-8);
    const double p = 1.12;
    EXPECT_EQ(p_to_s(p), tables.GR_S_KNOTS(2) + (p - tables.GR_P_KNOTS(2)) / tables.GR_DP_DS(2));
}

TEST(PTrans, InPlaceConversionEqualsSeparateArrays) {
    configure_defaults();
    constexpr int n = 25;
    double s[n], p[n], in_place[n];
    for (int i = 0; i < n; ++i) s[i] = in_place[i] = -0.1 + 1.2 * i / (n - 1);
    p_trans({s, "S"}, {p, "P"}, 1, n);
    p_trans({in_place, "IN_PLACE"}, {in_place, "IN_PLACE"}, 1, n);
    for (int i = 0; i < n; ++i) EXPECT_EQ(in_place[i], p[i]) << i;
    double s_back[n];
    p_trans({s_back, "S_BACK"}, {p, "P"}, -1, n);
    p_trans({in_place, "IN_PLACE"}, {in_place, "IN_PLACE"}, -1, n);
    for (int i = 0; i < n; ++i) EXPECT_EQ(in_place[i], s_back[i]) << i;
}

TEST(PTrans, WrongFlagWritesTheMessageAndConvertsNothing) {
    configure_defaults();
    double s[2] = {0.25, 0.75};
    double p[2] = {-1.0, -2.0};
    const ArraySpan<double> s_val(s, "S");
    const ArraySpan<double> p_val(p, "P");
    const std::string message = " Flag for p_trans must be either 1 or -1!\n";
    EXPECT_EQ(test::written([&] { p_trans(s_val, p_val, 0, 2); }), message);
    EXPECT_EQ(test::written([&] {
                  p_trans(s_val, p_val, 2, 2);
                  p_trans(s_val, p_val, -2, 0);  // the flag is tested before the count
              }),
              message + message);
    EXPECT_EQ(s[0], 0.25);
    EXPECT_EQ(s[1], 0.75);
    EXPECT_EQ(p[0], -1.0);
    EXPECT_EQ(p[1], -2.0);
    EXPECT_EQ(test::written([&] {
                  p_trans(s_val, p_val, 1, 0);
                  p_trans(s_val, p_val, -1, -4);
              }),
              "");
    EXPECT_EQ(p[0], -1.0);
    EXPECT_EQ(s[0], 0.25);
}

// Runs init_p_trans on a master_nml of the given text.
void init_from(const std::string& name, const std::string& text) {
    const fs::path dir = test::scratch_dir(name);
    test::write_file(dir / "master_nml", text);
    const fs::path home = fs::current_path();
    fs::current_path(dir);
    open_config_file();
    init_p_trans();
    // The unit is rewound for the next reader.
    std::string line;
    EXPECT_TRUE(read_config_line(line));
    EXPECT_EQ(line, text.substr(0, text.find('\n')));
    close_unit(config_unit);
    fs::current_path(home);
}

TEST(InitPTrans, AnEmptyGroupGivesTheDefaults) {
    cmn_gr_p_trans = {};
    for (int k = 1; k <= 6; ++k) {
        cmn_gr_p_trans.GR_CONTROL_ALT(k) = 99.0;
        cmn_gr_p_trans.GR_SIZE_RATIO(k) = 99.0;
    }
    init_from("InitPTrans_empty", "&NML_IO_FLAGS IO_GEOMETRY_FLAG = 1 /\n&NML_GR_P_TRANS\n/\n");
    expect_default_tables();
    EXPECT_EQ(tables.GR_CONTROL_ALT(6), 99.0);  // beyond the defaults: untouched
    EXPECT_EQ(tables.GR_SIZE_RATIO(6), 99.0);
}

TEST(InitPTrans, ItemsOverrideTheDefaults) {
    cmn_gr_p_trans = {};
    init_from("InitPTrans_items",
              "! knots\n&NML_GR_P_TRANS GR_CONTROL_ALT = 200.0, 400.0\n GR_SIZE_RATIO(3) = 4.0 /\n");
    const double alt[] = {200.0, 400.0, 1000.0, 1500.0, 2000.0};
    const double ratio[] = {1.0, 1.0, 4.0, 5.0, 10.0};
    EXPECT_EQ(tables.GR_N_CONTROL, 5);
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(tables.GR_CONTROL_ALT(k), alt[k - 1]) << k;
        EXPECT_EQ(tables.GR_SIZE_RATIO(k), ratio[k - 1]) << k;
        EXPECT_EQ(tables.GR_P_KNOTS(k), (alt[k - 1] * 1000.0 + earth_radius) / earth_radius) << k;
    }
    EXPECT_EQ(tables.GR_S_KNOTS(5), 1.0);

    init_from("InitPTrans_three", "&nml_gr_p_trans gr_n_control = 3, GR_SIZE_RATIO = 2.0, 1.0, 2.0 /\n");
    EXPECT_EQ(tables.GR_N_CONTROL, 3);
    EXPECT_EQ(tables.GR_S_KNOTS(1), 0.0);
    EXPECT_EQ(tables.GR_S_KNOTS(3), 1.0);
    EXPECT_NEAR(s_to_p(1.0), (1000.0 * 1000.0 + earth_radius) / earth_radius, 1e-15);
}

}  // namespace
}  // namespace vorn
