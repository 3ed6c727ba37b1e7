// SPDX-License-Identifier: MIT
#include "records/drift_plot.h"

#include <algorithm>
#include <array>
#include <cairo-svg.h>
#include <cairo.h>
#include <cmath>
#include <ctime>

namespace {

constexpr double WIDTH = 960, HEIGHT = 540;
constexpr double LEFT = 90, RIGHT = 30, TOP = 50, BOTTOM = 70;
constexpr double FONT_SIZE = 12;
constexpr double POINT_RADIUS = 3.5;

struct rgb {
    double r, g, b;
};
constexpr std::array<rgb, 4> WATCH_COLOURS = {{{0.12, 0.47, 0.71}, {0.84, 0.15, 0.16}, {0.17, 0.63, 0.17}, {0.58, 0.40, 0.74}}};
constexpr rgb SETTING_COLOUR = {0.5, 0.5, 0.5};
constexpr rgb AXIS_COLOUR = {0, 0, 0};
constexpr rgb GRID_COLOUR = {0.88, 0.88, 0.88};

// Steps for the date axis, seconds, and how their labels read.
struct time_step {
    double seconds;
    const char* format;
};
constexpr std::array<time_step, 16> TIME_STEPS = {{{1, "%H:%M:%S"}, {2, "%H:%M:%S"}, {5, "%H:%M:%S"},
                                                  {10, "%H:%M:%S"}, {30, "%H:%M:%S"}, {60, "%H:%M"},
                                                  {300, "%H:%M"}, {900, "%H:%M"}, {3600, "%d %H:%M"},
                                                  {6 * 3600.0, "%m-%d %H:%M"}, {86400, "%Y-%m-%d"},
                                                  {2 * 86400.0, "%Y-%m-%d"}, {7 * 86400.0, "%Y-%m-%d"},
                                                  {14 * 86400.0, "%Y-%m-%d"}, {30 * 86400.0, "%Y-%m-%d"},
                                                  {91 * 86400.0, "%Y-%m-%d"}}};
constexpr int MAX_TICKS = 7;

struct frame {
    double x0, x1, y0, y1;  // seconds, ms
    double px(double t) const { return LEFT + (t - x0) / (x1 - x0) * (WIDTH - LEFT - RIGHT); }
    double py(double ms) const { return HEIGHT - BOTTOM - (ms - y0) / (y1 - y0) * (HEIGHT - TOP - BOTTOM); }
};

void colour(cairo_t* cr, const rgb& c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

// Text centred on x (align 0.5), left of it (1) or right of it (0).
void label(cairo_t* cr, double x, double y, const std::string& s, double align)
{
    cairo_text_extents_t e{};
    cairo_text_extents(cr, s.c_str(), &e);
    cairo_move_to(cr, x - e.width * align - e.x_bearing, y);
    cairo_show_text(cr, s.c_str());
}

// A step of 1, 2 or 5 times a power of ten giving at most MAX_TICKS ticks.
double nice_step(double range)
{
    const double raw = range / MAX_TICKS;
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= raw)
            return m * p;
    return 10 * p;
}

void axes(cairo_t* cr, const frame& f)
{
    cairo_set_font_size(cr, FONT_SIZE);
    cairo_set_line_width(cr, 1);
    const double step = nice_step(f.y1 - f.y0);
    for (double v = std::ceil(f.y0 / step) * step; v <= f.y1; v += step) {
        colour(cr, GRID_COLOUR);
        cairo_move_to(cr, LEFT, f.py(v));
        cairo_line_to(cr, WIDTH - RIGHT, f.py(v));
        cairo_stroke(cr);
        colour(cr, AXIS_COLOUR);
        char b[32];
        std::snprintf(b, sizeof b, "%g", std::fabs(v) < step / 1e6 ? 0.0 : v);
        label(cr, LEFT - 6, f.py(v) + FONT_SIZE / 3, b, 1);
    }
    const time_step* ts = &TIME_STEPS.back();
    for (const time_step& s : TIME_STEPS)
        if ((f.x1 - f.x0) / s.seconds <= MAX_TICKS) {
            ts = &s;
            break;
        }
    for (double t = std::ceil(f.x0 / ts->seconds) * ts->seconds; t <= f.x1; t += ts->seconds) {
        colour(cr, GRID_COLOUR);
        cairo_move_to(cr, f.px(t), TOP);
        cairo_line_to(cr, f.px(t), HEIGHT - BOTTOM);
        cairo_stroke(cr);
        colour(cr, AXIS_COLOUR);
        const time_t tt = static_cast<time_t>(std::llround(t));
        tm u{};
        gmtime_r(&tt, &u);
        char b[32];
        std::strftime(b, sizeof b, ts->format, &u);
        label(cr, f.px(t), HEIGHT - BOTTOM + FONT_SIZE + 6, b, 0.5);
    }
    colour(cr, AXIS_COLOUR);
    cairo_rectangle(cr, LEFT, TOP, WIDTH - LEFT - RIGHT, HEIGHT - TOP - BOTTOM);
    cairo_stroke(cr);
    label(cr, (LEFT + WIDTH - RIGHT) / 2, HEIGHT - 20, "date (UTC)", 0.5);
    cairo_save(cr);
    cairo_translate(cr, 24, (TOP + HEIGHT - BOTTOM) / 2);
    cairo_rotate(cr, -M_PI / 2);
    label(cr, 0, 0, "watch - PC (ms)", 0.5);
    cairo_restore(cr);
    cairo_set_font_size(cr, FONT_SIZE + 3);
    label(cr, (LEFT + WIDTH - RIGHT) / 2, TOP - 18, "Watch offset against the PC clock", 0.5);
}

// The data's extent, the latest lines reaching to now.
frame extent(const std::vector<drift_period>& periods, double now)
{
    frame f{now, now, 0, 0};
    bool any = false;
    auto take = [&](double t, double ms) {
        if (!any) {
            f = {t, t, ms, ms};
            any = true;
        }
        f.x0 = std::min(f.x0, t);
        f.x1 = std::max(f.x1, t);
        f.y0 = std::min(f.y0, ms);
        f.y1 = std::max(f.y1, ms);
    };
    for (const drift_period& p : periods) {
        for (const drift_point& pt : p.points) {
            take(pt.m.at, (pt.m.offset_us - pt.m.uncertainty_us) / 1e3);
            take(pt.m.at, (pt.m.offset_us + pt.m.uncertainty_us) / 1e3);
        }
        if (p.set)
            take(p.set_at, f.y0);
        rate_fit fit;
        if (fit_rate(p.points, fit)) {
            double u = 0;
            take(now, fitted_offset_us(fit, now, u) / 1e3);
        }
    }
    if (!any)
        f = {now - 3600, now, -1, 1};
    const double dx = std::max(f.x1 - f.x0, 10.0) * 0.05;
    const double dy = std::max(f.y1 - f.y0, 0.01) * 0.1;
    return {f.x0 - dx, f.x1 + dx, f.y0 - dy, f.y1 + dy};
}

void draw(cairo_t* cr, const std::vector<drift_period>& periods, double now)
{
    colour(cr, {1, 1, 1});
    cairo_paint(cr);
    const frame f = extent(periods, now);
    axes(cr, f);
    std::vector<std::string> watches;
    for (std::size_t i = 0; i < periods.size(); ++i) {
        const drift_period& p = periods[i];
        auto w = std::find(watches.begin(), watches.end(), p.watch);
        if (w == watches.end())
            w = watches.insert(watches.end(), p.watch);
        const rgb& c = WATCH_COLOURS[static_cast<std::size_t>(w - watches.begin()) % WATCH_COLOURS.size()];
        const bool latest = i + 1 == periods.size() || periods[i + 1].watch != p.watch;

        cairo_set_line_width(cr, 1);
        if (p.set) {
            colour(cr, SETTING_COLOUR);
            const double dash[] = {4, 3};
            cairo_set_dash(cr, dash, 2, 0);
            cairo_move_to(cr, f.px(p.set_at), TOP);
            cairo_line_to(cr, f.px(p.set_at), HEIGHT - BOTTOM);
            cairo_stroke(cr);
            cairo_set_dash(cr, nullptr, 0, 0);
            cairo_set_font_size(cr, FONT_SIZE);
            label(cr, f.px(p.set_at) + 3, TOP + FONT_SIZE + 2, "set", 0);
        }
        colour(cr, c);
        rate_fit fit;
        if (fit_rate(p.points, fit)) {
            double u = 0;
            const double a = p.points.front().m.at, b = p.points.back().m.at;
            cairo_set_line_width(cr, 1.5);
            cairo_move_to(cr, f.px(a), f.py(fitted_offset_us(fit, a, u) / 1e3));
            cairo_line_to(cr, f.px(b), f.py(fitted_offset_us(fit, b, u) / 1e3));
            cairo_stroke(cr);
            if (latest && now > b) {
                const double dash[] = {6, 4};
                cairo_set_dash(cr, dash, 2, 0);
                cairo_move_to(cr, f.px(b), f.py(fitted_offset_us(fit, b, u) / 1e3));
                cairo_line_to(cr, f.px(now), f.py(fitted_offset_us(fit, now, u) / 1e3));
                cairo_stroke(cr);
                cairo_set_dash(cr, nullptr, 0, 0);
            }
        }
        cairo_set_line_width(cr, 1);
        for (const drift_point& pt : p.points) {
            const double x = f.px(pt.m.at);
            cairo_move_to(cr, x, f.py((pt.m.offset_us - pt.m.uncertainty_us) / 1e3));
            cairo_line_to(cr, x, f.py((pt.m.offset_us + pt.m.uncertainty_us) / 1e3));
            cairo_stroke(cr);
            cairo_arc(cr, x, f.py(pt.m.offset_us / 1e3), POINT_RADIUS, 0, 2 * M_PI);
            cairo_fill(cr);
        }
    }
    cairo_set_font_size(cr, FONT_SIZE);
    for (std::size_t i = 0; i < watches.size(); ++i) {
        colour(cr, WATCH_COLOURS[i % WATCH_COLOURS.size()]);
        const double y = TOP + 14 + static_cast<double>(i) * (FONT_SIZE + 4);
        cairo_arc(cr, LEFT + 12, y - FONT_SIZE / 3, POINT_RADIUS, 0, 2 * M_PI);
        cairo_fill(cr);
        label(cr, LEFT + 20, y, "watch " + watches[i], 0);
    }
}

bool ends_with(const std::string& s, const std::string& end)
{
    return s.size() >= end.size() && std::equal(end.rbegin(), end.rend(), s.rbegin(),
                                                [](char a, char b) { return std::tolower(a) == b; });
}

}  // namespace

bool plot_drift(const std::string& file, const std::vector<drift_period>& periods, double now, std::string& problem)
{
    const bool png = ends_with(file, ".png");
    cairo_surface_t* surface = png ? cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(WIDTH),
                                                                static_cast<int>(HEIGHT))
                                   : cairo_svg_surface_create(file.c_str(), WIDTH, HEIGHT);
    cairo_t* cr = cairo_create(surface);
    draw(cr, periods, now);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_status_t st = cairo_surface_status(surface);
    if (png && st == CAIRO_STATUS_SUCCESS)
        st = cairo_surface_write_to_png(surface, file.c_str());
    cairo_surface_finish(surface);  // the SVG is written here
    if (st == CAIRO_STATUS_SUCCESS)
        st = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (st != CAIRO_STATUS_SUCCESS) {
        problem = file + ": " + cairo_status_to_string(st);
        return false;
    }
    return true;
}
