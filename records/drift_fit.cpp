// SPDX-License-Identifier: MIT
#include "records/drift_fit.h"

#include <algorithm>
#include <cmath>

namespace {

// A measurement that claims no uncertainty still gets this much, so that
// no reading weighs infinitely.
constexpr double UNCERTAINTY_FLOOR_US = 1.0;

drift_period& period_of(std::vector<drift_period>& periods, const std::string& watch)
{
    for (auto it = periods.rbegin(); it != periods.rend(); ++it)
        if (it->watch == watch)
            return *it;
    drift_period p;
    p.watch = watch;
    periods.push_back(p);
    return periods.back();
}

void add_point(drift_period& p, const offset_measurement& m, const drift_record& r)
{
    p.points.push_back({m, r.id, r.tool});
}

}  // namespace

std::vector<drift_period> drift_periods(const std::vector<drift_record>& records)
{
    std::vector<drift_period> periods;
    for (const drift_record& r : records) {
        drift_period* p = &period_of(periods, r.watch);
        if (r.before)
            add_point(*p, *r.before, r);
        if (r.time_commands > 0) {
            drift_period next;
            next.watch = r.watch;
            next.number = p->number + 1;
            next.set = true;
            next.set_at = r.offset ? r.offset->at : r.before ? r.before->at : 0;
            if (p->points.empty() && !p->set) {
                next.number = p->number;
                *p = next;  // nothing measured before the first setting
            } else {
                periods.push_back(next);
                p = &periods.back();
            }
        }
        if (r.offset)
            add_point(*p, *r.offset, r);
    }
    for (drift_period& p : periods)
        std::stable_sort(p.points.begin(), p.points.end(),
                         [](const drift_point& a, const drift_point& b) { return a.m.at < b.m.at; });
    // Each watch's periods together, in the order the watches first appear.
    std::vector<std::string> order;
    for (const drift_record& r : records)
        if (std::find(order.begin(), order.end(), r.watch) == order.end())
            order.push_back(r.watch);
    auto rank = [&](const drift_period& p) { return std::find(order.begin(), order.end(), p.watch) - order.begin(); };
    std::stable_sort(periods.begin(), periods.end(),
                     [&](const drift_period& a, const drift_period& b) { return rank(a) < rank(b); });
    return periods;
}

int readings_needed(const std::vector<drift_point>& points)
{
    if (points.size() < 2)
        return 2 - static_cast<int>(points.size());
    const auto [lo, hi] = std::minmax_element(points.begin(), points.end(),
                                              [](const drift_point& a, const drift_point& b) { return a.m.at < b.m.at; });
    return hi->m.at - lo->m.at < SAME_MOMENT_S ? 1 : 0;
}

bool fit_rate(const std::vector<drift_point>& points, rate_fit& fit)
{
    if (readings_needed(points) != 0)
        return false;
    auto weight = [](const drift_point& p) {
        const double u = std::max(p.m.uncertainty_us, UNCERTAINTY_FLOOR_US);
        return 1.0 / (u * u);
    };
    // Times relative to the first, so that seconds since 1970 lose no precision.
    const double t0 = points.front().m.at;
    double w_sum = 0, wt = 0, wy = 0;
    for (const drift_point& p : points) {
        const double w = weight(p);
        w_sum += w;
        wt += w * (p.m.at - t0);
        wy += w * p.m.offset_us;
    }
    const double t_mean = wt / w_sum, y_mean = wy / w_sum;
    double stt = 0, sty = 0;
    for (const drift_point& p : points) {
        const double dt = p.m.at - t0 - t_mean;
        stt += weight(p) * dt * dt;
        sty += weight(p) * dt * (p.m.offset_us - y_mean);
    }
    rate_fit f;
    f.rate_ppm = sty / stt;
    f.ref_at = t0 + t_mean;
    f.offset_us = y_mean;
    f.offset_variance = 1 / w_sum;
    f.rate_variance = 1 / stt;
    // More readings than the line needs: when they scatter more than their
    // stated uncertainties allow, the scatter sets the uncertainty.
    if (points.size() > 2) {
        double chi2 = 0;
        for (const drift_point& p : points) {
            const double r = p.m.offset_us - f.offset_us - f.rate_ppm * (p.m.at - f.ref_at);
            chi2 += weight(p) * r * r;
        }
        const double scale = chi2 / static_cast<double>(points.size() - 2);
        if (scale > 1) {
            f.offset_variance *= scale;
            f.rate_variance *= scale;
        }
    }
    f.rate_uncertainty_ppm = std::sqrt(f.rate_variance);
    fit = f;
    return true;
}

double fitted_offset_us(const rate_fit& fit, double at, double& uncertainty_us)
{
    const double dt = at - fit.ref_at;
    uncertainty_us = std::sqrt(fit.offset_variance + dt * dt * fit.rate_variance);
    return fit.offset_us + fit.rate_ppm * dt;
}
