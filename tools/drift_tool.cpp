// SPDX-License-Identifier: MIT
// ORV3DRIFT: the watch's rate from the record of readings, per watch and per
// period between settings, with today's predicted offset; the records as CSV,
// and a plot.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "records/drift_fit.h"
#include "records/drift_plot.h"
#include "records/records.h"
#include "tools/tools.h"

namespace {

// An option without its value, or a word that belongs to none.
int refuse(const std::string& why)
{
    std::fprintf(stderr, "orv3drift: %s\nTry 'orv3drift --help' for what it takes.\n", why.c_str());
    return TOOL_USAGE;
}

std::string utc_text(double unix_s)
{
    const time_t t = static_cast<time_t>(std::floor(unix_s));
    tm u{};
    gmtime_r(&t, &u);
    char b[32];
    std::strftime(b, sizeof b, "%Y-%m-%d %H:%M:%S UTC", &u);
    return b;
}

void print_rate(const rate_fit& fit)
{
    const double day = fit.rate_ppm * 1e-6 * SECONDS_PER_DAY;
    const double day_u = fit.rate_uncertainty_ppm * 1e-6 * SECONDS_PER_DAY;
    std::printf("    rate %+.2f ppm +- %.2f: %s %.3f s a day (+- %.3f), %.1f s a month (+- %.1f)\n", fit.rate_ppm,
                fit.rate_uncertainty_ppm, day >= 0 ? "gains" : "loses", std::fabs(day), day_u,
                std::fabs(day) * DAYS_PER_MONTH, day_u * DAYS_PER_MONTH);
}

void print_needed(int needed, std::size_t have)
{
    if (have >= 2)
        std::printf("    rate: the readings are all of one moment; 1 more reading at a later time needed\n");
    else
        std::printf("    rate: %d more reading%s needed\n", needed, needed == 1 ? "" : "s");
}

void report(const std::vector<drift_period>& periods, double now)
{
    for (std::size_t i = 0; i < periods.size(); ++i) {
        const drift_period& p = periods[i];
        if (i == 0 || periods[i - 1].watch != p.watch)
            std::printf("watch %s\n", p.watch.c_str());
        if (p.set)
            std::printf("  period %d, since the setting of %s\n", p.number, utc_text(p.set_at).c_str());
        else
            std::printf("  period %d, from the first record\n", p.number);
        for (const drift_point& pt : p.points)
            std::printf("    %s  %s  %+10.3f ms +- %.3f\n", utc_text(pt.m.at).c_str(), pt.tool.c_str(),
                        pt.m.offset_us / 1e3, pt.m.uncertainty_us / 1e3);
        rate_fit fit;
        if (!fit_rate(p.points, fit)) {
            print_needed(readings_needed(p.points), p.points.size());
            continue;
        }
        print_rate(fit);
        const bool latest = i + 1 == periods.size() || periods[i + 1].watch != p.watch;
        if (latest) {
            double u = 0;
            const double off = fitted_offset_us(fit, now, u);
            std::printf("    today (%s): predicted offset %+.3f ms +- %.3f\n", utc_text(now).c_str(), off / 1e3,
                        u / 1e3);
        }
    }
}

}  // namespace

int drift_tool(int argc, char** argv)
{
    std::string db, plot;
    bool csv = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--csv") {
            csv = true;
        } else if ((a == "--db" || a == "--plot") && i + 1 < argc && argv[i + 1][0] != '\0' &&
                   std::strncmp(argv[i + 1], "--", 2) != 0) {
            (a == "--db" ? db : plot) = argv[++i];
        } else if (a.rfind("--db=", 0) == 0 && a.size() > 5) {
            db = a.substr(5);
        } else if (a.rfind("--plot=", 0) == 0 && a.size() > 7) {
            plot = a.substr(7);
        } else if (a == "--db" || a == "--plot") {
            return refuse(a + " needs a value: " + a + " PATH");
        } else {
            return refuse("unknown argument '" + a + "'");
        }
    }
    if (db.empty() && !rec_log_path(db)) {
        std::fprintf(stderr, "orv3drift: recording is off (%s=%s); name a record with --db PATH\n", RECORD_LOG_ENV,
                     RECORD_LOG_OFF);
        return TOOL_NO_RECORD;
    }
    std::vector<drift_record> records;
    std::string problem;
    if (!rec_load(db, records, problem)) {
        std::fprintf(stderr, "orv3drift: no record to read: %s\n", problem.c_str());
        return TOOL_NO_RECORD;
    }
    const double now = filetime_to_unix_seconds(plat_utc_now());
    const std::vector<drift_period> periods = drift_periods(records);
    if (csv) {
        std::printf("%s\n", rec_csv_header().c_str());
        for (const drift_record& r : records)
            std::printf("%s\n", rec_csv_row(r).c_str());
    } else if (records.empty()) {
        std::printf("%s: no readings recorded yet\n", db.c_str());
    } else {
        report(periods, now);
    }
    int code = TOOL_DONE;
    if (!plot.empty() && !plot_drift(plot, periods, now, problem)) {
        std::fprintf(stderr, "orv3drift: plot not written: %s\n", problem.c_str());
        code = TOOL_OUTPUT_FAILED;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "orv3drift: standard output could not be written\n");
        code = TOOL_OUTPUT_FAILED;
    }
    return code;
}
