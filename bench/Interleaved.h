#pragma once

// Side-by-side figures for the benchmarks: each measured run is paired with a
// baseline run made right before it, so a change of machine load hits both
// halves of a pair alike; the pairs' ratios are reported as min/median/max.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace bench {

struct Spread {
    double min = 0;
    double median = 0;
    double max = 0;
};

inline Spread spreadOf(std::vector<double> values)
{
    if (values.empty()) return {};
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {values.front(), median, values.back()};
}

// The one-minute load average, to state what the figures were measured under.
inline std::string loadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// Collects (baseline, measured) pairs and prints both and their ratios.
class Pairs {
public:
    void add(double baseline, double measured)
    {
        baselines.push_back(baseline);
        measures.push_back(measured);
        if (baseline > 0) ratios.push_back(measured / baseline);
    }
    size_t size() const { return measures.size(); }

    void print(const char* what, const char* baselineName, const char* measuredName, const char* unit) const
    {
        const Spread b = spreadOf(baselines);
        const Spread m = spreadOf(measures);
        const Spread r = spreadOf(ratios);
        std::printf("%s, %zu interleaved pairs\n", what, measures.size());
        std::printf("  %-28s min %8.2f  median %8.2f  max %8.2f %s\n", baselineName, b.min, b.median, b.max, unit);
        std::printf("  %-28s min %8.2f  median %8.2f  max %8.2f %s\n", measuredName, m.min, m.median, m.max, unit);
        std::printf("  %-28s min %8.2f  median %8.2f  max %8.2f\n", "ratio (pair by pair)", r.min, r.median, r.max);
        std::fflush(stdout);
    }

private:
    std::vector<double> baselines;
    std::vector<double> measures;
    std::vector<double> ratios;
};

} // namespace bench
