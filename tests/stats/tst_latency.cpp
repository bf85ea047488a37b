#include "LatencyHistogram.h"
#include "LatencyTimeline.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

using std::chrono::nanoseconds;
using Samples = std::vector<std::int64_t>; // nanoseconds
Q_DECLARE_METATYPE(Samples)

namespace {

constexpr double kNsPerUs = 1000.0;
constexpr std::uint32_t kSeed = 20240229;

// Reproducible samples: kind "uniform" (between lo and hi), "skewed" (lo plus an exponential
// tail of mean hi), "constant" (lo).
Samples Generate(const char *kind, std::size_t n, double lo, double hi)
{
    std::mt19937_64 random(kSeed);
    std::uniform_real_distribution<double> uniform(lo, hi);
    std::exponential_distribution<double> tail(1.0 / hi);
    Samples out;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = kind == std::string_view("uniform") ? uniform(random)
                         : kind == std::string_view("skewed") ? lo + tail(random)
                                                              : lo;
        out.push_back(std::int64_t(v));
    }
    return out;
}

LatencyHistogram Record(const Samples &samples)
{
    LatencyHistogram h;
    for (std::int64_t ns : samples)
        h.record(nanoseconds(ns));
    return h;
}

// Nearest rank of sorted samples, in microseconds.
double ExactQuantileUs(const Samples &sorted, double q)
{
    const auto rank = std::max<std::size_t>(1, std::size_t(std::ceil(q * double(sorted.size()))));
    return double(sorted[rank - 1]) / kNsPerUs;
}

} // namespace

class tst_latency : public QObject
{
    Q_OBJECT
private slots:
    void quantiles_data();
    void quantiles();
    void mergeEqualsRecordingBoth();
    void timeline_data();
    void timeline();
};

void tst_latency::quantiles_data()
{
    constexpr std::size_t kMany = 20000;
    const auto kMax = std::numeric_limits<std::int64_t>::max();
    QTest::addColumn<Samples>("samples");
    QTest::newRow("uniform 1 us..10 ms") << Generate("uniform", kMany, 1e3, 1e7);
    QTest::newRow("skewed 40 us + 200 us tail") << Generate("skewed", kMany, 4e4, 2e5);
    QTest::newRow("constant") << Generate("constant", kMany, 123456, 0);
    QTest::newRow("single sample") << Samples{987654};
    QTest::newRow("below 64 ns") << Generate("uniform", kMany, 0, 64);
    QTest::newRow("huge: 1 s..1 h") << Generate("uniform", kMany, 1e9, 3.6e12);
    QTest::newRow("beyond the tracked range") << Samples{1000, kMax - 5, kMax};
    QTest::newRow("negative counts as 0") << Samples{-5, 0, 0, 7};
}

void tst_latency::quantiles()
{
    QFETCH(Samples, samples);
    const LatencyHistogram h = Record(samples);
    Samples sorted = samples;
    for (std::int64_t &ns : sorted)
        ns = std::max<std::int64_t>(ns, 0);
    std::sort(sorted.begin(), sorted.end());

    QCOMPARE(h.count(), sorted.size());
    QCOMPARE(h.minUs(), double(sorted.front()) / kNsPerUs);
    QCOMPARE(h.maxUs(), double(sorted.back()) / kNsPerUs);
    const double sum = std::accumulate(sorted.begin(), sorted.end(), 0.0);
    QVERIFY(std::abs(h.meanUs() - sum / double(sorted.size()) / kNsPerUs) <= 1e-9 * h.meanUs());
    for (double q : {0.0, 0.01, 0.25, 0.5, 0.9, 0.95, 0.99, 0.999, 1.0}) {
        const double exact = ExactQuantileUs(sorted, q);
        const double got = h.quantileUs(q);
        if (std::abs(got - exact) > LatencyHistogram::kRelativeError * exact)
            QFAIL(qPrintable(QStringLiteral("q %1: %2 us, exact %3 us").arg(q).arg(got).arg(exact)));
    }
    const LatencySummary s = h.summary();
    QCOMPARE(s.p99_us, h.quantileUs(0.99));
    QCOMPARE(s.mean_us, h.meanUs());
}

void tst_latency::mergeEqualsRecordingBoth()
{
    const Samples a = Generate("skewed", 5000, 2e4, 1e5);
    const Samples b = Generate("uniform", 3000, 1e3, 5e8);
    Samples both = a;
    both.insert(both.end(), b.begin(), b.end());

    LatencyHistogram merged = Record(a);
    merged.merge(Record(b));
    const LatencyHistogram direct = Record(both);
    QCOMPARE(merged.summary(), direct.summary());
    for (int permille = 0; permille <= 1000; ++permille)
        QCOMPARE(merged.quantileUs(permille / 1000.0), direct.quantileUs(permille / 1000.0));

    merged.merge(LatencyHistogram());
    QCOMPARE(merged.summary(), direct.summary());
    merged.reset();
    QCOMPARE(merged.summary(), LatencySummary());
}

void tst_latency::timeline_data()
{
    QTest::addColumn<int>("maxIntervals");
    QTest::addColumn<qint64>("intervalNs");
    QTest::addColumn<int>("samples");  // taken evenly from 0 to lastAt (just at lastAt when 1)
    QTest::addColumn<qint64>("lastAt");
    QTest::addColumn<int>("expectedIntervals");
    QTest::addColumn<qint64>("expectedIntervalNs");
    QTest::newRow("within the bound") << 8 << qint64(1000) << 5000 << qint64(7999) << 8 << qint64(1000);
    QTest::newRow("one past: merges once") << 8 << qint64(1000) << 5000 << qint64(8000) << 5 << qint64(2000);
    QTest::newRow("odd bound rounds up") << 7 << qint64(1000) << 5000 << qint64(7999) << 8 << qint64(1000);
    QTest::newRow("2^20 intervals' time") << 128 << qint64(1000) << 20000 << qint64(1000 << 20) - 1 << 128
                                          << qint64(1000 << 13);
    QTest::newRow("one sample after an hour") << 128 << qint64(100000000) << 1 << qint64(3600000000000)
                                              << 71 << qint64(51200000000);
}

void tst_latency::timeline()
{
    QFETCH(int, maxIntervals);
    QFETCH(qint64, intervalNs);
    QFETCH(int, samples);
    QFETCH(qint64, lastAt);
    QFETCH(int, expectedIntervals);
    QFETCH(qint64, expectedIntervalNs);

    std::vector<std::pair<std::int64_t, std::int64_t>> taken; // at, latency
    const Samples latencies = Generate("uniform", std::size_t(samples), 1e3, 1e6);
    for (int k = 0; k < samples; ++k)
        taken.emplace_back(samples == 1 ? lastAt : lastAt * k / (samples - 1), latencies[std::size_t(k)]);
    std::shuffle(taken.begin(), taken.end(), std::mt19937(kSeed));

    LatencyTimeline timeline{nanoseconds(intervalNs), std::size_t(maxIntervals)};
    for (const auto &[at, latency] : taken)
        timeline.record(nanoseconds(at), nanoseconds(latency));

    QCOMPARE(timeline.interval().count(), expectedIntervalNs);
    QCOMPARE(int(timeline.histograms().size()), expectedIntervals);
    QVERIFY(timeline.histograms().size() <= timeline.maxIntervals());
    const std::vector<LatencyPoint> points = timeline.points();
    QCOMPARE(int(points.size()), expectedIntervals);
    for (std::size_t i = 0; i < points.size(); ++i) {
        LatencyHistogram direct;
        for (const auto &[at, latency] : taken) {
            if (std::size_t(at / expectedIntervalNs) == i)
                direct.record(nanoseconds(latency));
        }
        QCOMPARE(timeline.histograms()[i].summary(), direct.summary());
        QCOMPARE(points[i].count, direct.count());
        QCOMPARE(points[i].p50_us, direct.quantileUs(0.5));
        QCOMPARE(points[i].p99_us, direct.quantileUs(0.99));
        QCOMPARE(points[i].start_us, double(i * expectedIntervalNs) / kNsPerUs);
        QCOMPARE(points[i].end_us, double((i + 1) * expectedIntervalNs) / kNsPerUs);
    }
    timeline.reset();
    QVERIFY(timeline.points().empty());
    QCOMPARE(timeline.interval().count(), intervalNs);
}

QTEST_APPLESS_MAIN(tst_latency)
#include "tst_latency.moc"
