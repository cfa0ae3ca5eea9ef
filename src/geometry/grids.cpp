#include "geometry/grids.hpp"

#include <cmath>
#include <initializer_list>
#include <utility>

#include "checked_array/checked_array.hpp"
#include "format/messages.hpp"
#include "geometry/dipole.hpp"
#include "geometry/frame.hpp"
#include "geometry/records.hpp"
#include "geometry/stretching.hpp"
#include "program_end/program_end.hpp"
#include "run_end/nan_operands.hpp"

namespace vorn {

namespace {

constexpr double re = earth_radius;

// The integer part of a count quotient (truncation).  Quotients beyond the
// range of any grid saturate at +-2^28, so that the sums and doublings of the
// counts stay within 32 bits and the size checks catch them.
std::int32_t int_part(double x) {
    constexpr double limit = 268435456.0;
    if (x >= limit) return static_cast<std::int32_t>(limit);
    if (x <= -limit) return -static_cast<std::int32_t>(limit);
    return static_cast<std::int32_t>(x);
}

// Cells of a range for a quotient n = range / wanted step: the integer part,
// one more when n is not whole to within 1.0e-5.
std::int32_t cell_count(double n) {
    std::int32_t m = int_part(n);
    if (std::fabs(n - m) > count_tolerance) m = m + 1;
    return m;
}

double p_of(double r, double lat) { return polar2pq_point({r, lat}).p; }

// The p size and latitude blocks stand twice on standard output.
[[noreturn]] void stop_p_grid_too_large(const char* count_label, std::int32_t count) {
    fatal_stop({{"Error in init_geometry: p grid size too large"}, {count_label, count}}, 2);
}

[[noreturn]] void stop_latitude_too_high() {
    fatal_stop({{"Magnetic latitude exceeds the allowed limit."},
                {"Please give a smaller value for"},
                {"            the high-latitude boundary."},
                {"Program stopped."}},
               2);
}

// The texts that name an axis in the messages of check_axis.
struct AxisMessages {
    const char* too_few;
    const char* count_label;
    const char* not_rising;
    const char* value_label;
    const char* next_label;
};

constexpr AxisMessages l_axis = {"Error in init_geometry: l grid has fewer than two values", "gr_nl=",
                                 "Error in init_geometry: l grid values do not increase", "gr_l(i)=", "gr_l(i+1)="};
constexpr AxisMessages p_axis = {"Error in init_geometry: p grid has fewer than two values", "gr_np=",
                                 "Error in init_geometry: p grid values do not increase", "gr_p(i)=", "gr_p(i+1)="};
constexpr AxisMessages q_axis = {"Error in init_geometry: q grid has fewer than two values", "gr_nq=",
                                 "Error in init_geometry: q grid values do not increase", "gr_q(i)=", "gr_q(i+1)="};

// An axis of fewer than two values spans no cell, and one whose values do not
// strictly increase gives cells of no or negative width: either stops the run,
// naming the count or the first pair of values at fault.
template <class Values>
void check_axis(const AxisMessages& messages, std::int32_t count, const Values& values) {
    if (count < 2) fatal_stop({{messages.too_few}, {messages.count_label, count}});
    for (std::int32_t i = 1; i <= count - 1; ++i)
        if (values(i + 1) <= values(i))
            fatal_stop({{messages.not_rising},
                        {"i=", i},
                        {messages.value_label, values(i)},
                        {messages.next_label, values(i + 1)}});
}

}  // namespace

double geographic_radius(double mrad, double mlat, double mlon) {
    Point magnetic{mrad, mlat, mlon, 0.0, 0.0, 0.0};
    Point geographic;
    mag2geo_point(magnetic, geographic);
    return geographic.radius;
}

void create_grid() {
    // Handed from the p axis to the q axis; global_mlat_max 0.0: no high-latitude lines.
    double midlat_pmax = 0.0;
    double midlat_mlat_max = 0.0;
    double hlbdry_p = 0.0;
    double global_mlat_max = 0.0;
    const GrGrid& g = gr_grid;
    create_grid_l();
    check_axis(l_axis, g.gr_nl, g.gr_l);
    check_high_boundary_radius();
    init_p_trans();
    create_grid_p(midlat_pmax, midlat_mlat_max, hlbdry_p, global_mlat_max);
    check_axis(p_axis, g.gr_np, g.gr_p);
    create_grid_q(midlat_pmax, midlat_mlat_max, hlbdry_p, global_mlat_max);
    check_axis(q_axis, g.gr_nq, g.gr_q);
}

void create_grid_l() {
    GrGrid& g = gr_grid;
    const CmnGrInput& in = cmn_gr_input;
    g.gr_glb = true;
    g.gr_2d = false;
    g.gr_reg = false;

    raise_invalid_on_nan({in.GR_I_MLON_LOW, in.GR_I_MLON_HIGH});
    double lo = in.GR_I_MLON_LOW;
    double hi = in.GR_I_MLON_HIGH;
    if (hi < lo) std::swap(lo, hi);
    double range = hi - lo;

    if (range < count_tolerance) {
        // One longitude: a thin slab around it.
        g.gr_glb = false;
        g.gr_2d = true;
        g.gr_reg = true;
        g.gr_l(1) = lo - 0.005;
        g.gr_l(2) = lo + 0.005;
        g.gr_nl = 2;
        return;
    }
    raise_invalid_on_nan({in.GR_I_DMLON});

    if (range > 360.00001) {
        hi = lo + 360.0;
        range = 360.0;
    }

    double step;
    if (std::fabs(range - 360.0) < count_tolerance) {
        // Whole half circles, so that every cell has a partner across the pole.
        const std::int32_t m = cell_count(range / (in.GR_I_DMLON * 2.0));
        step = range * 0.5 / m;
        g.gr_nl = 2 * m + 1;
    } else {
        g.gr_glb = false;
        g.gr_reg = true;
        const std::int32_t m = cell_count(range / in.GR_I_DMLON);
        step = range / m;
        g.gr_nl = m + 1;
    }

    g.gr_l(1) = lo;
    for (std::int32_t i = 2; i <= g.gr_nl - 1; ++i) g.gr_l(i) = g.gr_l(i - 1) + step;
    // The last value is the far end itself, not the accumulated sum.
    g.gr_l(g.gr_nl) = hi;
    if (g.gr_nl == 2) g.gr_2d = true;
}

namespace {

// The outermost mid/high-latitude transition point, north and south of every
// longitude (gr_l(i) serves as the geographic longitude): the largest p of a
// field line through it and the largest magnetic latitude.
void find_transition_line(double& midlat_pmax, double& midlat_mlat_max) {
    const GrGrid& g = gr_grid;
    const CmnGrInput& in = cmn_gr_input;
    midlat_pmax = 0.0;
    midlat_mlat_max = 0.0;
    for (std::int32_t i = 1; i <= g.gr_nl; ++i) {
        for (const double glat_sign : {1.0, -1.0}) {
            Point probe{in.GR_I_GALT_HIBDRY + re, glat_sign * in.GR_I_GLAT_MLTRANS, g.gr_l(i), 0.0, 0.0, 0.0};
            Point magnetic;
            geo2mag_point(probe, magnetic);
            const double mlat = magnetic.latitude;
            const double p = p_of(magnetic.radius, mlat);
            if (p > midlat_pmax) midlat_pmax = p;
            if (mlat > midlat_mlat_max) midlat_mlat_max = mlat;
        }
    }
}

// The mid-latitude lines, evenly spaced in the stretched coordinate s from
// p_min to midlat_pmax; one wanted radial step near 1.1 Re sets the spacing.
void place_midlat_lines(double p_min, double mrad_600, double midlat_pmax) {
    static Array1<double, 4, "P_ARRAY"> p_array;
    static Array1<double, 4, "S_ARRAY"> s_array;
    GrGrid& g = gr_grid;
    p_array(1) = p_min;
    p_array(2) = (mrad_600 - cmn_gr_input.GR_I_DGALT_EQALT600) / re;
    p_array(3) = mrad_600 / re;
    p_array(4) = midlat_pmax;
    p_trans(s_array, p_array, -1, 4);
    const double s1 = s_array(1);
    const double s4 = s_array(4);

    g.gr_np = int_part((s4 - s1) / (s_array(3) - s_array(2))) + 1;
    if (g.gr_np > max_grid_p) stop_p_grid_too_large("gr_np=", g.gr_np);

    const double ds = (s4 - s1) / (g.gr_np - 1);
    for (std::int32_t i = 1; i <= g.gr_np; ++i) g.gr_p(i) = s1 + (i - 1) * ds;
    p_trans(g.gr_p, g.gr_p, 1, g.gr_np);
}

// The high-latitude boundary line hlbdry_p, then the high-latitude lines
// beyond midlat_pmax, evenly spaced in latitude at the radius mrad_4hlp up to
// that boundary; global_mlat_max is the latitude of the last one.
void add_high_latitude_lines(double mrad_4hlp, double midlat_pmax, double& hlbdry_p, double& global_mlat_max) {
    GrGrid& g = gr_grid;
    const CmnGrInput& in = cmn_gr_input;
    // The boundary line is raised where the frame puts the boundary point
    // below its magnetic radius.
    const double rt = in.GR_I_GALT_HIBDRY + re;
    double grad_upbdry_min = rt;
    for (std::int32_t i = 1; i <= g.gr_nl; ++i)
        grad_upbdry_min = std::fmin(grad_upbdry_min, geographic_radius(rt, in.GR_I_MLAT_HLBDRY, g.gr_l(i)));
    double mrad_hlbdry = rt;
    if (grad_upbdry_min < rt) mrad_hlbdry = 2.0 * rt - grad_upbdry_min;

    if (in.GR_I_MLAT_HLBDRY > polar_line_mlat) {
        hlbdry_p = p_of(mrad_hlbdry, polar_line_mlat);
        g.gr_polar_flag = true;
    } else {
        hlbdry_p = p_of(mrad_hlbdry, in.GR_I_MLAT_HLBDRY);
        g.gr_polar_flag = false;
    }
    if (!(hlbdry_p > midlat_pmax)) return;

    // Where the boundary line and the outermost mid-latitude line cross that sphere.
    const double mlat_hlbdry = p_r_intersect(mrad_4hlp, hlbdry_p).latitude;
    const double mlat_midlat = p_r_intersect(mrad_4hlp, midlat_pmax).latitude;
    if (mlat_hlbdry > max_line_mlat) stop_latitude_too_high();

    std::int32_t global_np = g.gr_np;
    std::int32_t n_hl = 0;
    double dmlat_hl = 0.0;
    if (mlat_hlbdry > mlat_midlat) {
        raise_invalid_on_nan({in.GR_I_DMLAT_HLALT300});
        n_hl = int_part((mlat_hlbdry - mlat_midlat) / in.GR_I_DMLAT_HLALT300) + 1;
        global_np = g.gr_np + n_hl;
        dmlat_hl = (mlat_hlbdry - mlat_midlat) / n_hl;
    }
    if (global_np > max_grid_p) stop_p_grid_too_large("global_np=", global_np);

    if (global_np > g.gr_np) {
        for (std::int32_t i = 1; i <= n_hl; ++i) {
            global_mlat_max = std::fmin(mlat_midlat + i * dmlat_hl, max_line_mlat);
            g.gr_p(g.gr_np + i) = p_of(mrad_4hlp, global_mlat_max);
        }
    }
    g.gr_np = global_np;
}

}  // namespace

// The transition points are given spherically: no negative radius reaches the transforms.
void check_high_boundary_radius() {
    const CmnGrInput& in = cmn_gr_input;
    if (any_nan(p_axis_items())) return;
    if (in.GR_I_GALT_HIBDRY + re <= 0.0)
        fatal_stop({{"Error in init_geometry: GR_I_GALT_HIBDRY lies at or below the Earth's centre"},
                    {"GR_I_GALT_HIBDRY=", in.GR_I_GALT_HIBDRY}});
}

void create_grid_p(double& midlat_pmax, double& midlat_mlat_max, double& hlbdry_p, double& global_mlat_max) {
    static Array1<double, max_grid_l, "GRAD"> grad;  // geographic radius of the equatorial probe at gr_l(i)
    const GrGrid& g = gr_grid;
    const CmnGrInput& in = cmn_gr_input;
    const std::int32_t nl = g.gr_nl;
    raise_invalid_on_nan(p_axis_items());

    // Probes of the frame on the magnetic equator at radius Re: an offset
    // dipole shifts the geographic radius of every magnetic radius.
    double grad_sum = 0.0;
    for (std::int32_t i = 1; i <= nl; ++i) {
        grad(i) = geographic_radius(re, 0.0, g.gr_l(i));
        grad_sum = grad_sum + grad(i);
    }
    const double ave_grad = grad_sum / nl;
    const double mrad_600 = r_ref - ave_grad + re;
    const double mrad_4hlp = in.GR_I_GALT_4HLP + re - ave_grad + re;

    // The lowest line touches the lower boundary wherever it lies highest.
    double p_min = 1.0e32;
    for (std::int32_t i = 1; i <= nl; ++i) {
        const double mrad_low = in.GR_I_GALT_LOWBDRY + re - grad(i) + re;
        p_min = std::fmin(p_min, mrad_low / re);
    }

    find_transition_line(midlat_pmax, midlat_mlat_max);
    place_midlat_lines(p_min, mrad_600, midlat_pmax);
    add_high_latitude_lines(mrad_4hlp, midlat_pmax, hlbdry_p, global_mlat_max);
}

LineCrossing p_r_intersect(double r, double p) {
    const double x = std::sqrt(r / (p * re));
    if (x > 1.0) fatal_stop({{"p_r_intersect: Non intersection exists!"}});
    const double lat = std::acos(x) * rad_to_deg;
    return {lat, (std::sin(lat * deg_to_rad) * (re * re)) / (r * r)};
}

namespace {

// Beyond the mid-latitude values, linear steps up to the top point when the
// high-latitude lines reach above q_max: the lower boundary (radius r_low) at
// the latitude of the last high-latitude line, lowered once by the highest
// geographic radius found there.
void add_high_latitude_q(std::int32_t midlat_nq, double q_max, double r_low, double global_mlat_max) {
    GrGrid& g = gr_grid;
    double grad_max = r_low;
    double mrad_top = r_low;
    for (std::int32_t i = 1; i <= g.gr_nl; ++i)
        grad_max = std::fmax(grad_max, geographic_radius(mrad_top, global_mlat_max, g.gr_l(i)));
    if (grad_max > r_low) mrad_top = mrad_top - (grad_max - r_low);
    const double q_top = (re / mrad_top) * (re / mrad_top) * std::sin(global_mlat_max * deg_to_rad);

    if (q_top > q_max + count_tolerance) {
        const double dq_hl = dq_dr_ref * std::sin(global_mlat_max * deg_to_rad) * cmn_gr_input.GR_I_DGALT_MLALT600;
        const std::int32_t nq_hl = int_part((q_top - q_max) / dq_hl);
        g.gr_nq = (nq_hl + midlat_nq) * 2 + 1;
        if (g.gr_nq > max_grid_q)
            fatal_stop({{"Error in init_geometry: q grid size too large"}, {"global_nq=", g.gr_nq}});
        for (std::int32_t i = 1; i <= nq_hl - 1; ++i) g.gr_q(midlat_nq + 1 + i) = g.gr_q(midlat_nq + i) + dq_hl;
        g.gr_q(midlat_nq + nq_hl + 1) = q_top;
    }
}

// The southern half, the mirror image of the northern values: they move up by
// half from the top down, so none is overwritten before it is read.
void mirror_q() {
    GrGrid& g = gr_grid;
    const std::int32_t half = (g.gr_nq - 1) / 2;
    for (std::int32_t i = 1; i <= half + 1; ++i) g.gr_q(2 * half + 2 - i) = g.gr_q(half + 2 - i);
    for (std::int32_t i = 1; i <= half; ++i) g.gr_q(half + 1 - i) = -g.gr_q(half + 1 + i);
}

}  // namespace

void create_grid_q(const double& midlat_pmax, const double& midlat_mlat_max, const double& /*hlbdry_p*/,
                   const double& global_mlat_max) {
    GrGrid& g = gr_grid;
    const CmnGrInput& in = cmn_gr_input;
    raise_invalid_on_nan({in.GR_I_GALT_LOWBDRY, in.GR_I_DMLAT_EQALT300, in.GR_I_DGALT_MLALT600});

    // The top of the mid-latitude stretches: the foot of the last
    // mid-latitude line on the lower boundary.
    const double r_low = in.GR_I_GALT_LOWBDRY + re;
    const double q_max = p_r_intersect(r_low, midlat_pmax).q;

    const double dq_eq = (eq_ratio * eq_ratio) * std::sin(in.GR_I_DMLAT_EQALT300 * deg_to_rad);
    const double q_mid = std::sin(midlat_mlat_max * deg_to_rad) * (ref_ratio * ref_ratio);
    const double dq_mid = std::sin(midlat_mlat_max * deg_to_rad) * std::fabs(-(dq_dr_ref * in.GR_I_DGALT_MLALT600));

    // The stretch parameter makes the step at q_mid match dq_mid.
    const double ratio = dq_eq / dq_mid;
    double gamma = 5.0;
    if (ratio > 1.0) gamma = std::log(ratio + std::sqrt(ratio * ratio - 1.0)) / q_mid;
    write_message({"gamma=", gamma});

    const double sinh_top = std::sinh(gamma * q_max);
    const double chi_mid = std::sinh(gamma * q_mid) / sinh_top;
    const double d_chi = std::sinh(gamma * dq_eq) / sinh_top;
    write_message({"d_chi=", d_chi});

    const std::int32_t midlat_nq = int_part(chi_mid / d_chi) + int_part((q_max - q_mid) / dq_mid);
    if (2 * midlat_nq + 1 > max_grid_q)
        fatal_stop({{"Error in init_geometry: q grid size too large"},
                    {"gr_nq=", 2 * midlat_nq + 1},
                    {"gr_nq=", 2 * midlat_nq + 1}});

    // Northern half, from the equator up.
    g.gr_q(1) = 0.0;
    for (std::int32_t i = 1; i <= midlat_nq - 1; ++i) {
        const double t = i * d_chi * sinh_top;
        double q = std::log(t + std::sqrt(t * t + 1.0)) / gamma;
        if (q > q_mid) q = g.gr_q(i) + dq_mid;
        g.gr_q(i + 1) = q;
    }
    g.gr_q(midlat_nq + 1) = q_max;
    g.gr_nq = 2 * midlat_nq + 1;

    add_high_latitude_q(midlat_nq, q_max, r_low, global_mlat_max);
    mirror_q();
}

std::array<double, 6> p_axis_items() {
    const CmnGrInput& in = cmn_gr_input;
    return {in.GR_I_GALT_4HLP,    in.GR_I_GALT_LOWBDRY,   in.GR_I_GALT_HIBDRY,
            in.GR_I_GLAT_MLTRANS, in.GR_I_DGALT_EQALT600, in.GR_I_MLAT_HLBDRY};
}

}  // namespace vorn
