// Dipole coordinates: the (r, lat) <-> (p, q) pair, scale factors checked
// against finite differences of position, and the face normals.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/dipole.hpp"
#include "geometry/frame.hpp"
#include "geometry/records.hpp"

namespace vorn {
namespace {

constexpr double re = earth_radius;

void to_polar(double p, double q, double& r, double& lat) { pq2polar(&p, &q, &r, &lat, 1); }

// Position in the meridian plane (horizontal, vertical) of (p, q), in m.
void meridian_point(double p, double q, double& h, double& v) {
    double r;
    double lat;
    to_polar(p, q, r, lat);
    h = r * std::cos(lat * deg_to_rad);
    v = r * std::sin(lat * deg_to_rad);
}

TEST(Pq2Polar, EquatorThreshold) {
    for (double q : {0.0, -0.0, 1.0e-6, -1.0e-6}) {
        double r;
        double lat;
        to_polar(1.3, q, r, lat);
        EXPECT_EQ(r, 1.3 * re) << q;
        EXPECT_EQ(lat, 0.0) << q;
        EXPECT_FALSE(std::signbit(lat));
    }
    // Just beyond the threshold the closed form takes over: a latitude of the
    // sign of q and a radius just below p Re.
    double r;
    double lat;
    to_polar(1.3, 1.1e-6, r, lat);
    EXPECT_GT(lat, 0.0);
    EXPECT_LT(lat, 1.0e-3);
    EXPECT_NEAR(r / (1.3 * re), 1.0, 1e-9);
}

TEST(Pq2Polar, OppositeQGivesTheMirrorPoint) {
    for (double p : {1.02, 1.5, 4.0})
        for (double q : {0.01, 0.3, 0.9}) {
            double rn, latn, rs, lats;
            to_polar(p, q, rn, latn);
            to_polar(p, -q, rs, lats);
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
    const int n = static_cast<int>(r.size());
    std::vector<double> p(n), q(n), r_back(n), lat_back(n);
    polar2pq(r.data(), lat.data(), p.data(), q.data(), n);
    pq2polar(p.data(), q.data(), r_back.data(), lat_back.data(), n);
    for (int k = 0; k < n; ++k) {
        EXPECT_NEAR(r_back[k] / r[k], 1.0, 1e-12) << r[k] << " " << lat[k];
        EXPECT_NEAR(lat_back[k], lat[k], 1e-9) << r[k] << " " << lat[k];
    }
}

TEST(Polar2Pq, Definitions) {
    const double r[] = {1.05 * re, 2.0 * re, 1.5 * re, 1.2 * re};
    const double lat[] = {30.0, 0.0, -45.0, 90.0};
    double p[4], q[4];
    polar2pq(r, lat, p, q, 4);
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
    const double r = re;
    const double lat = 0.0;
    double sp, sq, sl;
    pql_scale(&r, &lat, &lat, &sp, &sq, &sl, 1);
    EXPECT_EQ(sp, 6371200.0);
    EXPECT_EQ(sq, 6371200.0);
    EXPECT_EQ(sl, 6371200.0 * 0.017453292519943295);
}

// Along the grid lines a small step moves the point by scale * step, in the
// direction of the face normal (the dipole coordinates are orthogonal).
TEST(PqlScale, MatchesStepsAlongTheGridLines) {
    const double ps[] = {1.05, 1.6, 2.8};
    const double qs[] = {0.02, -0.3, 0.7};
    for (double p0 : ps)
        for (double q0 : qs) {
            double r, lat;
            to_polar(p0, q0, r, lat);
            double sp, sq, sl;
            pql_scale(&r, &lat, &lat, &sp, &sq, &sl, 1);
            double np[3], nq[3];
            normal_p(&r, &lat, &lat, &np[0], &np[1], &np[2], 1);
            normal_q(&r, &lat, &lat, &nq[0], &nq[1], &nq[2], 1);
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
    const double r = 1.2 * re;
    const double lat = 0.0;
    double n[3];
    normal_p(&r, &lat, &lat, &n[0], &n[1], &n[2], 1);
    EXPECT_NEAR(n[0], 1.0, 1e-15);
    EXPECT_EQ(n[1], 0.0);
    EXPECT_EQ(n[2], 0.0);
    normal_q(&r, &lat, &lat, &n[0], &n[1], &n[2], 1);
    EXPECT_EQ(n[0], 0.0);
    EXPECT_NEAR(n[1], 1.0, 1e-15);
    EXPECT_EQ(n[2], 0.0);
}

TEST(Normals, UnitLengthAndMutuallyPerpendicular) {
    std::vector<double> r, lat;
    for (double lat_deg = -85.0; lat_deg <= 85.0; lat_deg += 5.0)
        for (double u : {1.0, 1.7, 3.0}) {
            r.push_back(u * re);
            lat.push_back(lat_deg);
        }
    const int n = static_cast<int>(r.size());
    std::vector<double> p1(n), p2(n), p3(n), q1(n), q2(n), q3(n), l1(n), l2(n), l3(n);
    normal_p(r.data(), lat.data(), lat.data(), p1.data(), p2.data(), p3.data(), n);
    normal_q(r.data(), lat.data(), lat.data(), q1.data(), q2.data(), q3.data(), n);
    normal_l(r.data(), lat.data(), lat.data(), l1.data(), l2.data(), l3.data(), n);
    for (int k = 0; k < n; ++k) {
        EXPECT_NEAR(std::hypot(p1[k], p2[k], p3[k]), 1.0, 1e-14) << lat[k];
        EXPECT_NEAR(std::hypot(q1[k], q2[k], q3[k]), 1.0, 1e-14) << lat[k];
        EXPECT_NEAR(p1[k] * q1[k] + p2[k] * q2[k] + p3[k] * q3[k], 0.0, 1e-14) << lat[k];
        EXPECT_EQ(l1[k], 0.0);
        EXPECT_EQ(l2[k], 0.0);
        EXPECT_EQ(l3[k], 1.0);
        EXPECT_EQ(p3[k], 0.0);
        EXPECT_EQ(q3[k], 0.0);
        // Towards increasing p: outward; towards increasing q: northward.
        EXPECT_GT(p1[k], 0.0);
        EXPECT_GT(q2[k], 0.0);
    }
}

TEST(DipoleRoutines, ZeroCountTouchesNothing) {
    double a = 1.5, b = 0.5, c = -7.0, d = -8.0, e = -9.0;
    pq2polar(&a, &b, &c, &d, 0);
    polar2pq(&a, &b, &c, &d, 0);
    pql_scale(&a, &b, &b, &c, &d, &e, 0);
    normal_p(&a, &b, &b, &c, &d, &e, 0);
    normal_q(&a, &b, &b, &c, &d, &e, -1);
    normal_l(&a, &b, &b, &c, &d, &e, 0);
    EXPECT_EQ(c, -7.0);
    EXPECT_EQ(d, -8.0);
    EXPECT_EQ(e, -9.0);
}

}  // namespace
}  // namespace vorn
