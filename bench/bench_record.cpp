// The cost of the latency histogram's record() inside a busy loop, against the same loop
// without it; and session records written per second, against building each one as a
// QJsonObject and writing QJsonDocument's compact text. Ours and the baseline take turns.
// Usage: bench_record [samples a round, default 3000000] [records a round, default 30000]

#include "LatencyHistogram.h"
#include "Paired.h"
#include "SessionRecorder.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr long kDefaultPasses = 3000000;
constexpr int kDefaultRecords = 30000;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Round trips of 20 us to 2 ms, as a loop would time them.
std::vector<std::chrono::nanoseconds> Durations()
{
    constexpr std::size_t kDistinct = 4096;
    std::mt19937_64 random(1);
    std::lognormal_distribution<double> spread(std::log(60000.0), 0.6);
    std::vector<std::chrono::nanoseconds> out;
    for (std::size_t i = 0; i < kDistinct; ++i)
        out.emplace_back(std::int64_t(std::clamp(spread(random), 2e4, 2e6)));
    return out;
}

// Nanoseconds per pass of a loop that sums each duration, with or without recording it.
double LoopNs(const std::vector<std::chrono::nanoseconds> &durations, long passes, LatencyHistogram *h,
              std::int64_t &check)
{
    const std::size_t mask = durations.size() - 1;
    const auto start = Clock::now();
    for (long i = 0; i < passes; ++i) {
        const std::chrono::nanoseconds d = durations[std::size_t(i) & mask];
        if (h)
            h->record(d);
        check += d.count();
        asm volatile("" ::: "memory"); // one pass at a time, as in a cycle
    }
    return Seconds(start) * 1e9 / double(passes);
}

RecordedFrame Frame(int i)
{
    RecordedFrame frame;
    frame.direction = i % 2 ? FrameDirection::In : FrameDirection::Out;
    frame.peer = QStringLiteral("127.0.0.1:5006");
    frame.text = i % 2 ? QStringLiteral("0,3,%1").arg(i) : QStringLiteral("GET:A:1:X:");
    frame.wire = "\x05" + frame.text.toUtf8() + "\r";
    return frame;
}

double RecorderRate(const QString &path, const std::vector<RecordedFrame> &frames)
{
    SessionRecorder recorder;
    if (!recorder.start(path)) {
        std::fprintf(stderr, "bench_record: %s\n", qPrintable(recorder.errorString()));
        std::exit(1);
    }
    const auto start = Clock::now();
    for (const RecordedFrame &frame : frames)
        recorder.addFrame(frame);
    recorder.stop();
    return double(frames.size()) / Seconds(start);
}

double QJsonRate(const QString &path, const std::vector<RecordedFrame> &frames)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::exit(1);
    const auto start = Clock::now();
    for (const RecordedFrame &frame : frames) {
        QJsonObject record{
            {QStringLiteral("t"), QStringLiteral("frame")},
            {QStringLiteral("ms"), qint64(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              frame.wall.time_since_epoch())
                                              .count())},
            {QStringLiteral("us"), qint64(std::chrono::duration_cast<std::chrono::microseconds>(frame.steady - start)
                                              .count())},
            {QStringLiteral("dir"), frame.direction == FrameDirection::In ? QStringLiteral("in") : QStringLiteral("out")},
            {QStringLiteral("peer"), frame.peer},
            {QStringLiteral("text"), frame.text},
            {QStringLiteral("hex"), QString::fromLatin1(frame.wire.toHex(' '))}};
        file.write(QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n');
    }
    file.close();
    return double(frames.size()) / Seconds(start);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const long passes = argc > 1 ? std::max(1L, atol(argv[1])) : kDefaultPasses;
    const int records = argc > 2 ? std::max(1, atoi(argv[2])) : kDefaultRecords;

    const std::vector<std::chrono::nanoseconds> durations = Durations();
    std::int64_t check = 0;
    LatencyHistogram histogram;
    PairedRun(PairedRow("latency histogram record() in a loop", "ns/pass", Better::Lower),
              [&] { return LoopNs(durations, passes, &histogram, check); },
              [&] { return LoopNs(durations, passes, nullptr, check); });
    std::printf("histogram: %zu bytes, p50 %.1f us (check %lld)\n", sizeof histogram, histogram.quantileUs(0.5),
                static_cast<long long>(check));
    const auto clockStart = Clock::now();
    for (long i = 0; i < passes; ++i)
        check += Clock::now().time_since_epoch().count();
    std::printf("one steady clock read %.2f ns\n", Seconds(clockStart) * 1e9 / double(passes));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.jsonl"));
    std::vector<RecordedFrame> frames;
    for (int i = 0; i < records; ++i)
        frames.push_back(Frame(i));
    PairedRun(PairedRow("session record, frame records", "records/s", Better::Higher),
              [&] { return RecorderRate(path, frames); }, [&] { return QJsonRate(path, frames); });
    return 0;
}
