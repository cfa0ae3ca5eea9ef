#include "geometry/stretching.hpp"

#include <cmath>

#include "checked_array/checked_array.hpp"
#include "format/messages.hpp"
#include "geometry/records.hpp"
#include "namelist/namelist.hpp"
#include "run_end/nan_operands.hpp"
#include "units/config_file.hpp"

namespace vorn {

namespace {

// The segment j of v in an ascending knot table (rule in stretching.hpp).
template <class Knots>
void find_segment(const Knots& knots, std::int32_t count, double v, std::int32_t& j, bool& found) {
    found = false;
    for (j = 2; j <= count; ++j) {
        if (v <= knots(j)) {
            found = true;
            break;
        }
    }
    if (!found) j = count;
}

}  // namespace

void init_p_trans() {
    static const Array1<double, 5, "DEFAULT_ALT"> default_alt = {{100.0, 500.0, 1000.0, 1500.0, 2000.0}};  // km
    static const Array1<double, 5, "DEFAULT_RATIO"> default_ratio = {{1.0, 1.0, 2.0, 5.0, 10.0}};

    CmnGrPTrans& t = cmn_gr_p_trans;
    t.GR_N_CONTROL = 5;
    for (int k = 1; k <= 5; ++k) {
        t.GR_CONTROL_ALT(k) = default_alt(k);
        t.GR_SIZE_RATIO(k) = default_ratio(k);
    }
    using Type = NamelistItem::Type;
    const NamelistItem items[] = {
        {"GR_N_CONTROL", Type::integer, &t.GR_N_CONTROL, 1},
        {"GR_CONTROL_ALT", Type::real, t.GR_CONTROL_ALT.data(), max_knots},
        {"GR_SIZE_RATIO", Type::real, t.GR_SIZE_RATIO.data(), max_knots},
    };
    read_namelist("NML_GR_P_TRANS", items);
    rewind_config_file();
    build_p_trans_tables();
}

void build_p_trans_tables() {
    static double s_max;  // s range before normalisation

    CmnGrPTrans& t = cmn_gr_p_trans;
    const std::int32_t knots = t.GR_N_CONTROL;
    const double re = earth_radius;
    for (int k = 1; k <= knots; ++k) raise_invalid_on_nan({t.GR_CONTROL_ALT(k), t.GR_SIZE_RATIO(k)});
    for (int k = 1; k <= knots; ++k) t.GR_P_KNOTS(k) = (t.GR_CONTROL_ALT(k) * 1000.0 + re) / re;
    // Over each segment dp/ds rises linearly from one ratio to the next and
    // covers the p distance between the knots.
    t.GR_S_KNOTS(1) = 0.0;
    for (int k = 2; k <= knots; ++k)
        t.GR_S_KNOTS(k) = t.GR_S_KNOTS(k - 1) + (t.GR_P_KNOTS(k) - t.GR_P_KNOTS(k - 1)) * 2.0 /
                                                    (t.GR_SIZE_RATIO(k) + t.GR_SIZE_RATIO(k - 1));
    s_max = t.GR_S_KNOTS(knots);
    for (int k = 1; k <= knots; ++k) {
        t.GR_DP_DS(k) = t.GR_SIZE_RATIO(k) * s_max;
        t.GR_S_KNOTS(k) = t.GR_S_KNOTS(k) / s_max;
    }
}

void p_trans(ArraySpan<double> s_val, ArraySpan<double> p_val, std::int32_t flag, std::int32_t n) {
    static const double epsilon = 1.0e-8;  // |dD| at or below: a linear segment
    static std::int32_t i;
    static std::int32_t j;
    static bool found;
    static double a;
    static double b;
    static double c;

    if (flag != 1 && flag != -1) {
        write_message({"Flag for p_trans must be either 1 or -1!"});
        return;
    }
    const CmnGrPTrans& t = cmn_gr_p_trans;
    const auto& P = t.GR_P_KNOTS;
    const auto& S = t.GR_S_KNOTS;
    const auto& D = t.GR_DP_DS;
    const std::int32_t knots = t.GR_N_CONTROL;
    const std::span<double> s_values = s_val.first(n);
    const std::span<double> p_values = p_val.first(n);
    for (i = 1; i <= n; ++i) {
        if (flag == 1) {
            const double s = s_values[i - 1];
            find_segment(S, knots, s, j, found);
            const double ds = S(j) - S(j - 1);
            const double to_end = S(j) - s;
            const double from_start = s - S(j - 1);
            p_values[i - 1] = (P(j - 1) + ((D(j - 1) * 0.5) * (ds * ds - to_end * to_end)) / ds) +
                              ((D(j) * 0.5) * (from_start * from_start)) / ds;
        } else {
            const double p = p_values[i - 1];
            find_segment(P, knots, p, j, found);
            a = D(j) - D(j - 1);
            if (std::fabs(a) <= epsilon) {
                s_values[i - 1] = S(j - 1) + (p - P(j - 1)) / D(j - 1);
                continue;
            }
            // The segment's quadratic a s^2 + b s + c = 0; the + root lies in
            // the segment for a rising and a falling slope alike.
            const double ds = S(j) - S(j - 1);
            b = -((S(j - 1) * D(j) - S(j) * D(j - 1)) * 2.0);
            c = -((ds * 2.0) * (p - P(j - 1))) + D(j - 1) * (ds * ds) + D(j) * (S(j - 1) * S(j - 1)) -
                D(j - 1) * (S(j) * S(j));
            s_values[i - 1] = (-b + std::sqrt(b * b - 4.0 * a * c)) / (2.0 * a);
        }
    }
}

}  // namespace vorn
