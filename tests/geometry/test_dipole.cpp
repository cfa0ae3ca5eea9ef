// Dipole coordinates: the (r, lat) <-> (p, q) pair, scale factors checked
// against finite differences of position, and the face normals.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "checked_array/checked_array.hpp"
#include "geometry/dipole.hpp"
#include "geometry/frame.hpp"
#include "geometry/records.hpp"

namespace vorn {
namespace {

constexpr double re = earth_radius;

// n points with what the dipole routines read and write at them.
template <int n>
struct Points {
    double p[n] = {}, q[n] = {}, radius[n] = {}, latitude[n] = {};
    double scale_p[n] = {}, scale_q[n] = {}, scale_l[n] = {};
    double radial[n] = {}, northward[n] = {}, eastward[n] = {}, x[n] = {}, y[n] = {}, z[n] = {};
    PqSet pq() { return {{p, "P"}, {q, "Q"}}; }
    PolarSet polar() { return {{radius, "RADIUS"}, {latitude, "LATITUDE"}}; }
    ScaleSet scale() { return {{scale_p, "SCALE_P"}, {scale_q, "SCALE_Q"}, {scale_l, "SCALE_L"}}; }
    VectorSet normal() {
        return {{radial, "RADIAL"}, {northward, "NORTHWARD"}, {eastward, "EASTWARD"}, {x, "X"}, {y, "Y"}, {z, "Z"}};
    }
};

// One point at (r, lat).
Points<1> at(double r, double lat) {
    Points<1> point;
    point.radius[0] = r;
    point.latitude[0] = lat;
    return point;
}

// Position in the meridian plane (horizontal, vertical) of (p, q), in m.
void meridian_point(double p, double q, double& h, double& v) {
    const auto [r, lat] = pq2polar_point({p, q});
    h = r * std::cos(lat * deg_to_rad);
    v = r * std::sin(lat * deg_to_rad);
}

TEST(Pq2Polar, EquatorThreshold) {
    for (double q : {0.0, -0.0, 1.0e-6, -1.0e-6}) {
        const auto [r, lat] = pq2polar_point({1.3, q});
        EXPECT_EQ(r, 1.3 * re) << q;
        EXPECT_EQ(lat, 0.0) << q;
        EXPECT_FALSE(std::signbit(lat));
    }
    // Just beyond the threshold the closed form takes over: a latitude of the
    // sign of q and a radius just below p Re.
    const auto [r, lat] = pq2polar_point({1.3, 1.1e-6});
    EXPECT_GT(lat, 0.0);
    EXPECT_LT(lat, 1.0e-3);
    EXPECT_NEAR(r / (1.3 * re), 1.0, 1e-9);
}

TEST(Pq2Polar, OppositeQGivesTheMirrorPoint) {
    for (double p : {1.02, 1.5, 4.0})
        for (double q : {0.01, 0.3, 0.9}) {
            const auto [rn, latn] = pq2polar_point({p, q});
            const auto [rs, lats] = pq2polar_point({p, -q});
            EXPECT_EQ(rn, rs) << p << " " << q;
            EXPECT_EQ(lats, -latn) << p << " " << q;
            EXPECT_GT(latn, 0.0);
        }
}

TEST(Polar2Pq, RoundTripsThroughPq2Polar) {
    std::vector<double> r, lat;
    for (double lat_deg = 5.0; lat_deg <= 80.0; lat_deg += 5.0)
        for (double u = 1.0; u <= 3.0; u += 0.125) {
            r.insert(r.end(), {u * re, u * re});
            lat.insert(lat.end(), {lat_deg, -lat_deg});
        }
    constexpr int capacity = 1024;
    const int n = static_cast<int>(r.size());
    ASSERT_LE(n, capacity);
    static Points<capacity> points;
    for (int k = 0; k < n; ++k) {
        const PqPoint pq = polar2pq_point({r[k], lat[k]});
        points.p[k] = pq.p;
        points.q[k] = pq.q;
    }
    pq2polar(points.pq(), points.polar(), n);
    for (int k = 0; k < n; ++k) {
        EXPECT_NEAR(points.radius[k] / r[k], 1.0, 1e-12) << r[k] << " " << lat[k];
        EXPECT_NEAR(points.latitude[k], lat[k], 1e-9) << r[k] << " " << lat[k];
    }
}

TEST(Polar2Pq, Definitions) {
    const double r[] = {1.05 * re, 2.0 * re, 1.5 * re, 1.2 * re};
    const double lat[] = {30.0, 0.0, -45.0, 90.0};
    double p[4], q[4];
    for (int k = 0; k < 4; ++k) {
        const PqPoint pq = polar2pq_point({r[k], lat[k]});
        p[k] = pq.p;
        q[k] = pq.q;
    }
    EXPECT_NEAR(p[0], 1.4, 1e-14);  // 1.05 / cos^2 30
    EXPECT_NEAR(q[0], 0.5 / (1.05 * 1.05), 1e-15);
    EXPECT_EQ(p[1], 2.0);
    EXPECT_EQ(q[1], 0.0);
    EXPECT_NEAR(p[2], 3.0, 1e-14);
    EXPECT_LT(q[2], 0.0);
    // No guard at the pole: very large but finite.
    EXPECT_TRUE(std::isfinite(p[3]));
    EXPECT_GT(p[3], 1e30);
}

TEST(PqlScale, AtTheSurfaceOnTheEquator) {
    Points<1> point = at(re, 0.0);
    pql_scale(point.polar(), point.scale(), 1);
    EXPECT_EQ(point.scale_p[0], 6371200.0);
    EXPECT_EQ(point.scale_q[0], 6371200.0);
    EXPECT_EQ(point.scale_l[0], 6371200.0 * 0.017453292519943295);
}

// Along the grid lines a small step moves the point by scale * step, in the
// direction of the face normal (the dipole coordinates are orthogonal).
TEST(PqlScale, MatchesStepsAlongTheGridLines) {
    const double ps[] = {1.05, 1.6, 2.8};
    const double qs[] = {0.02, -0.3, 0.7};
    for (double p0 : ps)
        for (double q0 : qs) {
            const auto [r, lat] = pq2polar_point({p0, q0});
            Points<1> point = at(r, lat);
            pql_scale(point.polar(), point.scale(), 1);
            const double sp = point.scale_p[0], sq = point.scale_q[0], sl = point.scale_l[0];
            normal_p(point.polar(), point.normal(), 1);
            const double np[2] = {point.radial[0], point.northward[0]};
            normal_q(point.polar(), point.normal(), 1);
            const double nq[2] = {point.radial[0], point.northward[0]};
            // Local radial and northward unit vectors in the meridian plane.
            const double lambda = lat * deg_to_rad;
            const double radial[2] = {std::cos(lambda), std::sin(lambda)};
            const double north[2] = {-std::sin(lambda), std::cos(lambda)};

            const double dp = 1e-6;
            double h1, v1, h2, v2;
            meridian_point(p0 - dp / 2, q0, h1, v1);
            meridian_point(p0 + dp / 2, q0, h2, v2);
            const double step_p = std::hypot(h2 - h1, v2 - v1);
            EXPECT_NEAR(step_p / (sp * dp), 1.0, 1e-6) << p0 << " " << q0;
            EXPECT_NEAR(((h2 - h1) * radial[0] + (v2 - v1) * radial[1]) / step_p, np[0], 1e-6);
            EXPECT_NEAR(((h2 - h1) * north[0] + (v2 - v1) * north[1]) / step_p, np[1], 1e-6);

            const double dq = 1e-7;
            meridian_point(p0, q0 - dq / 2, h1, v1);
            meridian_point(p0, q0 + dq / 2, h2, v2);
            const double step_q = std::hypot(h2 - h1, v2 - v1);
            EXPECT_NEAR(step_q / (sq * dq), 1.0, 1e-6) << p0 << " " << q0;
            EXPECT_NEAR(((h2 - h1) * radial[0] + (v2 - v1) * radial[1]) / step_q, nq[0], 1e-6);
            EXPECT_NEAR(((h2 - h1) * north[0] + (v2 - v1) * north[1]) / step_q, nq[1], 1e-6);

            // One degree of l is an arc of radius r cos(lat).
            EXPECT_NEAR(sl, r * std::cos(lambda) * M_PI / 180.0, 1e-9 * sl);
        }
}

TEST(Normals, OnTheEquator) {
    Points<1> point = at(1.2 * re, 0.0);
    point.eastward[0] = -1.0;
    normal_p(point.polar(), point.normal(), 1);
    EXPECT_NEAR(point.radial[0], 1.0, 1e-15);
    EXPECT_EQ(point.northward[0], 0.0);
    EXPECT_EQ(point.eastward[0], 0.0);
    point.eastward[0] = -1.0;
    normal_q(point.polar(), point.normal(), 1);
    EXPECT_EQ(point.radial[0], 0.0);
    EXPECT_NEAR(point.northward[0], 1.0, 1e-15);
    EXPECT_EQ(point.eastward[0], 0.0);
}

TEST(Normals, UnitLengthAndMutuallyPerpendicular) {
    constexpr int n = 35 * 3;
    Points<n> p, q, l;
    int k = 0;
    for (double lat_deg = -85.0; lat_deg <= 85.0; lat_deg += 5.0)
        for (double u : {1.0, 1.7, 3.0}) {
            p.radius[k] = u * re;
            p.latitude[k] = lat_deg;
            l.eastward[k] = -1.0;
            ++k;
        }
    ASSERT_EQ(k, n);
    normal_p(p.polar(), p.normal(), n);
    normal_q(p.polar(), q.normal(), n);
    normal_l(l.normal(), n);
    for (k = 0; k < n; ++k) {
        const double lat = p.latitude[k];
        EXPECT_NEAR(std::hypot(p.radial[k], p.northward[k], p.eastward[k]), 1.0, 1e-14) << lat;
        EXPECT_NEAR(std::hypot(q.radial[k], q.northward[k], q.eastward[k]), 1.0, 1e-14) << lat;
        EXPECT_NEAR(p.radial[k] * q.radial[k] + p.northward[k] * q.northward[k], 0.0, 1e-14) << lat;
        EXPECT_EQ(l.radial[k], 0.0);
        EXPECT_EQ(l.northward[k], 0.0);
        EXPECT_EQ(l.eastward[k], 1.0);
        EXPECT_EQ(p.eastward[k], 0.0);
        EXPECT_EQ(q.eastward[k], 0.0);
        // Towards increasing p: outward; towards increasing q: northward.
        EXPECT_GT(p.radial[k], 0.0);
        EXPECT_GT(q.northward[k], 0.0);
    }
}

TEST(DipoleRoutines, ZeroCountTouchesNothing) {
    Points<1> point;
    point.p[0] = 1.5;
    point.q[0] = 0.5;
    for (double* out : {point.radius, point.latitude, point.scale_p, point.scale_l, point.radial, point.eastward})
        *out = -7.0;
    pq2polar(point.pq(), point.polar(), 0);
    pql_scale(point.polar(), point.scale(), 0);
    normal_p(point.polar(), point.normal(), 0);
    normal_q(point.polar(), point.normal(), -1);
    normal_l(point.normal(), 0);
    for (double* out : {point.radius, point.latitude, point.scale_p, point.scale_l, point.radial, point.eastward})
        EXPECT_EQ(*out, -7.0);
}

// The sets keep the extents and names of the arrays they are made of.
TEST(DipoleRoutinesDeathTest, CountBeyondAnArrayEndsTheRunNamingTheArray) {
    static Points<3> points;
    static Array1<double, 2, "G_FQ_NML_M_LON"> eastward;
    const VectorSet normal = points.normal();
    EXPECT_DEATH(pq2polar(points.pq(), {points.polar().radius, eastward}, 3),
                 "Subscript number 1 has value 3 in array 'G_FQ_NML_M_LON'");
    EXPECT_DEATH(normal_q(points.polar(), {normal.radial, normal.northward, eastward, normal.x, normal.y, normal.z}, 3),
                 "Subscript number 1 has value 3 in array 'G_FQ_NML_M_LON'");
}

}  // namespace
}  // namespace vorn
