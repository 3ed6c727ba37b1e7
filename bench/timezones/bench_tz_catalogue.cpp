// SPDX-License-Identifier: MIT
// Builds the zone catalogue from the ICU source again and again and reports
// the time a build takes: the first (cold) build, then the median and the
// worst of the following ones, and the number of zones held.
//   bench_tz_catalogue [builds]     (default 200)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/clock.h"
#include "timezones/catalogue.h"
#include "timezones/zone_source.h"

namespace {

constexpr int DEFAULT_BUILDS = 200;
constexpr double NS_PER_MS = 1e6;

double timed_build_ms(bool& ok)
{
    const int64_t start = plat_monotonic_ns();
    ok = TzBuildCatalogue();
    return static_cast<double>(plat_monotonic_ns() - start) / NS_PER_MS;
}

}  // namespace

int main(int argc, char** argv)
{
    const int builds = argc > 1 ? std::max(1, std::atoi(argv[1])) : DEFAULT_BUILDS;
    TzSetZoneSource(&TzIcuZoneSource());
    bool ok = false;
    const double cold_ms = timed_build_ms(ok);
    if (!ok) {
        std::fprintf(stderr, "the catalogue cannot be built from ICU\n");
        return 1;
    }
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(builds));
    for (int i = 0; i < builds && ok; ++i)
        ms.push_back(timed_build_ms(ok));
    std::sort(ms.begin(), ms.end());
    std::printf("first build: %.3f ms (ICU data loaded, zone IDs listed)\n", cold_ms);
    std::printf("%zu builds: median %.3f ms, worst %.3f ms\n", ms.size(), ms[ms.size() / 2],
                ms.back());
    std::printf("zones: %d\n", TzGetZoneCount());
    TzReleaseCatalogue();
    return ok ? 0 : 1;
}
