#pragma once

// Paired measurement. Ours and its baseline take turns in short rounds within one run (after a
// warm-up round), so that a burst of load on the machine falls on both sides alike; a row's ratio
// is the median of its pairs' ratios, and its spread their 10th to 90th percentile.
//
// The line bench/run collects, beside each benchmark's own output:
//   ROW <name>\t<ours>\t<baseline>\t<unit>\t<ratio>\t<spread>
// ours and baseline: the medians of each side's figures, in unit. ratio: our cost over the
// baseline's (time or memory), 1 is as good, above 1 worse; for a rate that is baseline / ours, for
// a time or a size ours / baseline. spread: "lo..hi", followed by "wide" when hi is more than 1.5
// times lo. Against a baseline of about nothing the ratio says so instead of a number.

#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

constexpr int kDefaultPairs = 11;
constexpr int kWarmupRounds = 1;
constexpr double kWideSpread = 1.5;
constexpr double kSpreadLow = 0.1;
constexpr double kSpreadHigh = 0.9;

// Pairs per row: KEL_BENCH_PAIRS (at least 1, fewer for a quick look), else the default.
inline int PairCount()
{
    const int wanted = qEnvironmentVariableIntValue("KEL_BENCH_PAIRS");
    return wanted > 0 ? wanted : kDefaultPairs;
}

// The q-quantile of the values, interpolated between neighbours.
inline double Quantile(std::vector<double> values, double q)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const double at = q * double(values.size() - 1);
    const std::size_t below = std::size_t(at);
    if (below + 1 >= values.size())
        return values.back();
    return values[below] + (at - double(below)) * (values[below + 1] - values[below]);
}

inline double Median(const std::vector<double> &values)
{
    return Quantile(values, 0.5);
}

// Whether a bigger figure is better (a rate) or worse (a time, a size).
enum class Better { Lower, Higher };

// One table row: the pairs of figures measured for it, and its ROW line.
class PairedRow
{
public:
    // A baseline figure at or below `nearZero` gives its pair no ratio.
    PairedRow(std::string name, std::string unit, Better better, double nearZero = 0)
        : m_name(std::move(name)), m_unit(std::move(unit)), m_better(better), m_nearZero(nearZero)
    {
    }

    void add(double ours, double baseline)
    {
        m_ours.push_back(ours);
        m_baseline.push_back(baseline);
        if (baseline > m_nearZero)
            m_ratios.push_back(m_better == Better::Lower ? ours / baseline : baseline / qMax(ours, 1e-12));
    }
    void clear()
    {
        m_ours.clear();
        m_baseline.clear();
        m_ratios.clear();
    }

    double ours() const { return Median(m_ours); }
    double baseline() const { return Median(m_baseline); }
    double ratio() const { return Median(m_ratios); }
    // Most pairs have a baseline worth dividing by.
    bool hasRatio() const { return !m_ratios.empty() && 2 * m_ratios.size() >= m_ours.size(); }
    const std::string &name() const { return m_name; }

    void print() const
    {
        if (m_ours.empty()) {
            std::printf("ROW %s\tfailed\t-\t-\t-\t-\n", m_name.c_str());
        } else if (!hasRatio()) {
            std::printf("ROW %s\t%.6g\t%.6g\t%s\tn/a (baseline ~0)\t-\n", m_name.c_str(), ours(), baseline(),
                        m_unit.c_str());
        } else {
            const double lo = Quantile(m_ratios, kSpreadLow);
            const double hi = Quantile(m_ratios, kSpreadHigh);
            std::printf("ROW %s\t%.6g\t%.6g\t%s\t%.3f\t%.3f..%.3f%s\n", m_name.c_str(), ours(), baseline(),
                        m_unit.c_str(), ratio(), lo, hi, hi > kWideSpread * lo ? " wide" : "");
        }
        std::fflush(stdout);
    }

private:
    std::string m_name;
    std::string m_unit;
    Better m_better;
    double m_nearZero;
    std::vector<double> m_ours;
    std::vector<double> m_baseline;
    std::vector<double> m_ratios;
};

// Runs `round` for the warm-up, forgets what it added to the rows, then runs it once per pair and
// prints the rows. Each round measures ours and then its baseline, back to back, adding the pair to
// the rows; it returns false when a side failed, which ends the run with the rows unmeasured.
inline bool PairedRounds(std::initializer_list<PairedRow *> rows, const std::function<bool()> &round)
{
    bool ok = true;
    for (int i = 0; i < kWarmupRounds && ok; ++i)
        ok = round();
    for (PairedRow *row : rows)
        row->clear();
    for (int i = 0; i < PairCount() && ok; ++i)
        ok = round();
    for (PairedRow *row : rows) {
        if (!ok)
            row->clear();
        row->print();
    }
    return ok;
}

// The simple case: one row, each side a callable giving its figure (negative when it failed).
template <typename Ours, typename Baseline>
bool PairedRun(PairedRow row, Ours ours, Baseline baseline)
{
    return PairedRounds({&row}, [&] {
        const double a = ours();
        const double b = baseline();
        row.add(a, b);
        return a >= 0 && b >= 0;
    });
}
