// Magnetic frame and point transforms: frame types, longitude folding, the
// Cartesian input form, round trips and the vector transform.
#include <cmath>
#include <cstddef>
#include <span>

#include <gtest/gtest.h>

#include "geometry/frame.hpp"
#include "geometry/records.hpp"

namespace vorn {
namespace {

// One point in all its magnetic and geographic forms.
struct Point {
    double mrad = 0, mlat = 0, mlon = 0, mx = 0, my = 0, mz = 0;
    double grad = 0, glat = 0, glon = 0, gx = 0, gy = 0, gz = 0;
};

Point spherical(double rad, double lat, double lon) {
    Point p;
    p.mrad = rad;
    p.mlat = lat;
    p.mlon = lon;
    return p;
}

Point cartesian(double x, double y, double z) {
    Point p;
    p.mrad = -1.0;
    p.mx = x;
    p.my = y;
    p.mz = z;
    return p;
}

ArraySpan<double> one(double& value) { return {std::span<double>(&value, 1), "VALUE"}; }
PointSet magnetic(Point& p) { return {one(p.mrad), one(p.mlat), one(p.mlon), one(p.mx), one(p.my), one(p.mz)}; }
PointSet geographic(Point& p) { return {one(p.grad), one(p.glat), one(p.glon), one(p.gx), one(p.gy), one(p.gz)}; }

void to_geo(Point& p) { mag2geo_pts(magnetic(p), geographic(p), 1); }

// n points in one frame.
template <std::size_t n>
struct Points {
    double radius[n] = {}, latitude[n] = {}, longitude[n] = {}, x[n] = {}, y[n] = {}, z[n] = {};
    PointSet set() {
        return {{radius, "RADIUS"}, {latitude, "LATITUDE"}, {longitude, "LONGITUDE"}, {x, "X"}, {y, "Y"}, {z, "Z"}};
    }
};

// The frame of type `type`, with the record zeroed first.
void frame(std::int32_t type) {
    d_dipole = {};
    set_mag(type);
}

TEST(SetMag, TypeOneIsTheIdentity) {
    d_dipole = {};
    set_mag(3);
    set_mag(1);
    for (int j = 1; j <= 3; ++j)
        for (int i = 1; i <= 3; ++i) EXPECT_EQ(d_dipole.d_rotate(i, j), i == j ? 1.0 : 0.0) << i << "," << j;
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(d_dipole.d_shift(i), 0.0);
    EXPECT_EQ(d_dipole.d_mag_type, 1);
}

TEST(SetMag, TypeTwoIsARightHandedFrameAlongThePole) {
    frame(2);
    const auto& d = d_dipole.d_rotate;
    for (int a = 1; a <= 3; ++a)
        for (int b = 1; b <= 3; ++b) {
            double dot = 0.0;
            for (int i = 1; i <= 3; ++i) dot += d(i, a) * d(i, b);
            EXPECT_NEAR(dot, a == b ? 1.0 : 0.0, 1e-15) << a << "," << b;
        }
    // column 1 x column 2 = column 3
    EXPECT_NEAR(d(2, 1) * d(3, 2) - d(3, 1) * d(2, 2), d(1, 3), 1e-15);
    EXPECT_NEAR(d(3, 1) * d(1, 2) - d(1, 1) * d(3, 2), d(2, 3), 1e-15);
    EXPECT_NEAR(d(1, 1) * d(2, 2) - d(2, 1) * d(1, 2), d(3, 3), 1e-15);
    EXPECT_EQ(d(3, 3), std::sin(79.98 * deg_to_rad));
    EXPECT_EQ(d(3, 2), 0.0);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(d_dipole.d_shift(i), 0.0);
    EXPECT_EQ(d_dipole.d_mag_type, 2);
}

TEST(SetMag, MagneticNorthPoleLiesAtTheGeographicPole) {
    frame(2);
    Point p = spherical(7000000.0, 90.0, 0.0);
    to_geo(p);
    EXPECT_NEAR(p.glat, 79.98, 1e-9);
    EXPECT_NEAR(p.glon, 289.09, 1e-9);
    EXPECT_NEAR(p.grad, 7000000.0, 1e-8);
    // The magnetic origin meridian runs through the pole's meridian.
    Point origin = spherical(7000000.0, 0.0, 0.0);
    to_geo(origin);
    EXPECT_NEAR(origin.glat, 79.98 - 90.0, 1e-9);
    EXPECT_NEAR(origin.glon, 289.09, 1e-9);
}

TEST(SetMag, TypeThreeShiftsEveryPointByTheOffset) {
    const double offset[3] = {-391800.0, 257600.0, 178900.0};
    for (double lat : {-60.0, 0.0, 35.0}) {
        frame(2);
        Point centred = spherical(6800000.0, lat, 123.0);
        to_geo(centred);
        frame(3);
        Point shifted = spherical(6800000.0, lat, 123.0);
        to_geo(shifted);
        EXPECT_EQ(shifted.gx, centred.gx + offset[0]);
        EXPECT_EQ(shifted.gy, centred.gy + offset[1]);
        EXPECT_EQ(shifted.gz, centred.gz + offset[2]);
        EXPECT_EQ(shifted.mx, centred.mx);
    }
    EXPECT_EQ(d_dipole.d_mag_type, 3);
}

TEST(SetMag, OtherTypesGiveTheCentredDipole) {
    frame(2);
    const DDipole centred = d_dipole;
    for (std::int32_t type : {0, 7, -1}) {
        d_dipole = {};  // the record as the run starts it
        set_mag(type);
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 3; ++i) EXPECT_EQ(d_dipole.d_rotate(i, j), centred.d_rotate(i, j));
        for (int i = 1; i <= 3; ++i) EXPECT_EQ(d_dipole.d_shift(i), 0.0) << "type " << type;
        EXPECT_EQ(d_dipole.d_mag_type, type);
    }
}

TEST(SetMag, OtherTypesKeepTheShiftTheyFind) {
    // Only types 2 and 3 set the shift; the frame is set once per run, so any
    // other type sees the zero the record starts with.
    d_dipole = {};
    set_mag(3);
    set_mag(7);
    EXPECT_EQ(d_dipole.d_shift(1), -391800.0);
    EXPECT_EQ(d_dipole.d_shift(3), 178900.0);
    set_mag(2);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(d_dipole.d_shift(i), 0.0);
}

TEST(Mag2GeoPts, GeographicFrameKeepsThePoint) {
    frame(1);
    for (double lat : {-75.0, -10.0, 0.0, 42.5, 89.0})
        for (double lon : {0.0, 45.0, 179.0, 270.0, 359.5}) {
            Point p = spherical(6500000.0, lat, lon);
            to_geo(p);
            EXPECT_NEAR(p.grad, 6500000.0, 1e-8);
            EXPECT_NEAR(p.glat, lat, 1e-12);
            EXPECT_NEAR(p.glon, lon, 1e-11);
            EXPECT_EQ(p.gx, p.mx);
            EXPECT_EQ(p.gy, p.my);
            EXPECT_EQ(p.gz, p.mz);
        }
}

TEST(Mag2GeoPts, NegativeLongitudeFoldsUp) {
    frame(1);
    Point p = spherical(6500000.0, 20.0, -30.0);
    to_geo(p);
    EXPECT_NEAR(p.glon, 330.0, 1e-11);
    EXPECT_EQ(p.mlon, -30.0);  // the input stays as given
}

TEST(Mag2GeoPts, FoldingAtZero) {
    frame(1);
    Point below = cartesian(7000000.0, -1e-12, 0.0);  // atan2 just below 0
    to_geo(below);
    EXPECT_EQ(below.glon, 360.0);
    Point negative_zero = cartesian(7000000.0, -0.0, 0.0);
    to_geo(negative_zero);
    EXPECT_EQ(negative_zero.glon, 0.0);
    EXPECT_FALSE(std::signbit(negative_zero.glon));
    Point behind = cartesian(-7000000.0, -1.0, 0.0);
    to_geo(behind);
    EXPECT_NEAR(behind.glon, 180.0 + rad_to_deg / 7000000.0, 1e-9);
    EXPECT_LT(behind.mlon, -179.0);  // the unfolded input longitude
}

TEST(Mag2GeoPts, PointsOnTheAxisGetZeroOrOneEighty) {
    frame(1);
    struct Case {
        double x, y, expected;
    };
    // |cos lat| = |x| / 7e6 or |y| / 7e6: the first four are within 1.0e-6.
    const Case cases[] = {
        {0.0, 0.0, 0.0}, {-0.0, 0.0, 0.0}, {1.0, -5.0, 0.0}, {-1.0, 5.0, 180.0}, {0.0, -70.0, 270.0},
    };
    for (const Case& c : cases)
        for (double z : {7000000.0, -7000000.0}) {
            Point p = cartesian(c.x, c.y, z);
            to_geo(p);
            EXPECT_NEAR(p.glon, c.expected, 1e-9) << c.x << " " << c.y << " " << z;
        }
    // Within a tenth of a degree of the pole but off the axis (|cos lat| about
    // 7.7e-4): the longitude of x and y.
    Point near_pole = cartesian(2000.0, -5000.0, 7000000.0);
    to_geo(near_pole);
    EXPECT_GT(near_pole.glat, 89.95);
    EXPECT_NEAR(near_pole.glon, 360.0 + std::atan2(-5000.0, 2000.0) * rad_to_deg, 1e-9);
}

TEST(Mag2GeoPts, CartesianInputCompletesTheSphericalTriple) {
    frame(1);
    Point p = cartesian(0.0, 7000000.0, 0.0);
    to_geo(p);
    EXPECT_EQ(p.mrad, 7000000.0);
    EXPECT_EQ(p.mlat, 0.0);
    EXPECT_EQ(p.mlon, 90.0);
    EXPECT_EQ(p.grad, 7000000.0);
    EXPECT_EQ(p.glat, 0.0);
    EXPECT_EQ(p.glon, 90.0);
    EXPECT_EQ(p.gy, 7000000.0);

    // In the dipole frame the geographic outputs equal those of the same
    // point given in spherical form.
    frame(2);
    Point given = cartesian(0.0, 7000000.0, 0.0);
    to_geo(given);
    Point reference = spherical(7000000.0, 0.0, 90.0);
    to_geo(reference);
    EXPECT_NEAR(given.gx, reference.gx, 1e-8);
    EXPECT_NEAR(given.gy, reference.gy, 1e-8);
    EXPECT_NEAR(given.gz, reference.gz, 1e-8);
    EXPECT_NEAR(given.glat, reference.glat, 1e-12);
    EXPECT_NEAR(given.glon, reference.glon, 1e-12);

    Point west = cartesian(0.0, -7000000.0, 0.0);
    to_geo(west);
    EXPECT_EQ(west.mlon, -90.0);  // not folded
}

TEST(Mag2GeoPts, ZeroCountTouchesNothing) {
    frame(2);
    Point p = spherical(7000000.0, 10.0, 20.0);
    p.mx = p.gx = p.grad = -123.0;
    mag2geo_pts(magnetic(p), geographic(p), 0);
    geo2mag_pts(geographic(p), magnetic(p), -3);
    EXPECT_EQ(p.mrad, 7000000.0);
    EXPECT_EQ(p.mx, -123.0);
    EXPECT_EQ(p.gx, -123.0);
    EXPECT_EQ(p.grad, -123.0);
}

// The bundles keep the extents and names of the arrays they are made of.
TEST(Mag2GeoPtsDeathTest, CountBeyondAnArrayEndsTheRunNamingTheArray) {
    frame(2);
    static Array1<double, 3, "MRAD"> mrad;
    static Array1<double, 3, "MLAT"> mlat;
    static Array1<double, 3, "MLON"> mlon;
    static Array1<double, 3, "MX"> mx;
    static Array1<double, 3, "MY"> my;
    static Array1<double, 2, "MZ"> mz;
    Points<3> g;
    EXPECT_DEATH(mag2geo_pts({mrad, mlat, mlon, mx, my, mz}, g.set(), 3),
                 "Subscript number 1 has value 3 in array 'MZ'");
    EXPECT_DEATH(geo2mag_pts(g.set(), {mrad, mlat, mlon, mx, my, mz}, 4),
                 "Subscript number 1 has value 4 in array 'RADIUS'");
}

TEST(Geo2MagPts, UndoesMag2GeoPts) {
    for (std::int32_t type : {1, 2, 3}) {
        frame(type);
        constexpr int n = 4;
        Points<n> m{{6500000.0, 7000000.0, 9000000.0, 6371200.0}, {-70.0, -5.0, 33.0, 80.0}, {10.0, 100.0, 200.0, 350.0}};
        Points<n> g;
        mag2geo_pts(m.set(), g.set(), n);
        Points<n> back;
        geo2mag_pts(g.set(), back.set(), n);
        for (int k = 0; k < n; ++k) {
            EXPECT_NEAR(back.radius[k] / m.radius[k], 1.0, 1e-12) << type << " " << k;
            EXPECT_NEAR(back.latitude[k], m.latitude[k], 1e-9) << type << " " << k;
            EXPECT_NEAR(back.longitude[k], m.longitude[k], 1e-9) << type << " " << k;
            EXPECT_NEAR(back.x[k], m.x[k], 1e-6);
        }
        // The Cartesian geographic form as input gives the same points.
        Points<n> c;
        Points<n> cm;
        for (int k = 0; k < n; ++k) {
            c.radius[k] = -1.0;
            c.x[k] = g.x[k];
            c.y[k] = g.y[k];
            c.z[k] = g.z[k];
        }
        geo2mag_pts(c.set(), cm.set(), n);
        for (int k = 0; k < n; ++k) {
            EXPECT_NEAR(c.radius[k] / g.radius[k], 1.0, 1e-15);
            EXPECT_NEAR(cm.latitude[k], m.latitude[k], 1e-9);
            EXPECT_NEAR(cm.longitude[k], m.longitude[k], 1e-9);
        }
    }
}

// mag2geo_dir on one point and one vector.
struct Directed {
    Point at;
    double v_rad, v_lat, v_lon;
    double v_x = 0, v_y = 0, v_z = 0, vg_rad = 0, vg_lat = 0, vg_lon = 0, vg_x = 0, vg_y = 0, vg_z = 0;
};

void to_geo(Directed& d) {
    mag2geo_dir(magnetic(d.at), {one(d.v_rad), one(d.v_lat), one(d.v_lon), one(d.v_x), one(d.v_y), one(d.v_z)},
                geographic(d.at),
                {one(d.vg_rad), one(d.vg_lat), one(d.vg_lon), one(d.vg_x), one(d.vg_y), one(d.vg_z)}, 1);
}

TEST(Mag2GeoDir, RadialStaysRadial) {
    frame(1);
    Directed d{spherical(6700000.0, 25.0, -30.0), 1.0, 0.0, 0.0};
    to_geo(d);
    EXPECT_NEAR(d.vg_rad, 1.0, 1e-15);
    EXPECT_NEAR(d.vg_lat, 0.0, 1e-15);
    EXPECT_NEAR(d.vg_lon, 0.0, 1e-15);
    EXPECT_NEAR(d.v_x, d.at.mx / 6700000.0, 1e-15);
    EXPECT_NEAR(d.v_y, d.at.my / 6700000.0, 1e-15);
    EXPECT_NEAR(d.v_z, d.at.mz / 6700000.0, 1e-15);
    EXPECT_NEAR(d.at.glon, 330.0, 1e-11);  // positions as mag2geo_pts gives them

    // A centred rotation keeps radial radial.
    frame(2);
    Directed tilted{spherical(6700000.0, 25.0, 40.0), 1.0, 0.0, 0.0};
    to_geo(tilted);
    EXPECT_NEAR(tilted.vg_rad, 1.0, 1e-14);
    EXPECT_NEAR(tilted.vg_lat, 0.0, 1e-14);
    EXPECT_NEAR(tilted.vg_lon, 0.0, 1e-14);
}

TEST(Mag2GeoDir, RotatesVectorsAndKeepsTheirLength) {
    for (std::int32_t type : {2, 3}) {
        frame(type);
        Directed d{spherical(7100000.0, -40.0, 75.0), 0.3, -0.4, 1.2};
        to_geo(d);
        const double length = std::sqrt(0.3 * 0.3 + 0.4 * 0.4 + 1.2 * 1.2);
        EXPECT_NEAR(std::hypot(d.v_x, d.v_y, d.v_z), length, 1e-14);
        EXPECT_NEAR(std::hypot(d.vg_x, d.vg_y, d.vg_z), length, 1e-14);
        EXPECT_NEAR(std::hypot(d.vg_rad, d.vg_lat, d.vg_lon), length, 1e-14);
        const auto& r = d_dipole.d_rotate;
        EXPECT_NEAR(d.vg_x, r(1, 1) * d.v_x + r(1, 2) * d.v_y + r(1, 3) * d.v_z, 1e-15);
        EXPECT_NEAR(d.vg_y, r(2, 1) * d.v_x + r(2, 2) * d.v_y + r(2, 3) * d.v_z, 1e-15);
        EXPECT_NEAR(d.vg_z, r(3, 1) * d.v_x + r(3, 2) * d.v_y + r(3, 3) * d.v_z, 1e-15);
    }
}

TEST(Mag2GeoDir, SumsStartFromPositiveZero) {
    // At (0, 0) every term of the first component is -0.0.
    frame(1);
    Directed d{spherical(6700000.0, 0.0, 0.0), -0.0, 0.0, 0.0};
    to_geo(d);
    EXPECT_EQ(d.v_x, 0.0);
    EXPECT_FALSE(std::signbit(d.v_x));
    EXPECT_FALSE(std::signbit(d.vg_x));
    EXPECT_FALSE(std::signbit(d.vg_rad));
}

}  // namespace
}  // namespace vorn
