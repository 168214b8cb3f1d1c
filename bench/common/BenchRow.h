#pragma once

// The lines a benchmark ends with, one per figure, which scripts/bench gathers into one table:
//   bench-row <TAB> figure <TAB> ours <TAB> baseline <TAB> ratio <TAB> goal <TAB> met
// A figure measured against a baseline of the same run is judged by its ratio; one with an absolute budget
// (a stall, a memory ceiling) has "-" as baseline and ratio. A figure that cannot be measured here is
//   bench-row <TAB> figure <TAB> skipped: <reason>
// and counts as neither met nor missed; one whose measurement went wrong is
//   bench-row <TAB> figure <TAB> failed: <reason> <TAB> - <TAB> - <TAB> - <TAB> NO

#include <cstdio>
#include <string>

namespace bench {

inline std::string amount(double value, const char *unit)
{
    char text[64];
    std::snprintf(text, sizeof text, value >= 100 ? "%.0f %s" : "%.3g %s", value, unit);
    return text;
}

// Returns whether the goal was met.
inline bool ratioRow(const char *figure, double ours, double baseline, const char *unit, double goal)
{
    const double ratio = baseline > 0 ? ours / baseline : 0;
    const bool met = baseline > 0 && ratio <= goal;
    std::printf("bench-row\t%s\t%s\t%s\t%.2f\t<= %.2fx\t%s\n", figure, amount(ours, unit).c_str(),
                amount(baseline, unit).c_str(), ratio, goal, met ? "yes" : "NO");
    std::fflush(stdout);
    return met;
}

inline bool budgetRow(const char *figure, double ours, const char *unit, double budget)
{
    const bool met = ours <= budget;
    std::printf("bench-row\t%s\t%s\t-\t-\t<= %s\t%s\n", figure, amount(ours, unit).c_str(),
                amount(budget, unit).c_str(), met ? "yes" : "NO");
    std::fflush(stdout);
    return met;
}

inline void skippedRow(const char *figure, const std::string &reason)
{
    std::printf("bench-row\t%s\tskipped: %s\n", figure, reason.c_str());
    std::fflush(stdout);
}

inline void failedRow(const char *figure, const std::string &reason)
{
    std::printf("bench-row\t%s\tfailed: %s\t-\t-\t-\tNO\n", figure, reason.c_str());
    std::fflush(stdout);
}

} // namespace bench
