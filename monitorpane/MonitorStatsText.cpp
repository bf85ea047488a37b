#include "MonitorStatsText.h"

#include "MonitorStats.h"

namespace {

constexpr double kUsPerMs = 1000.0;
constexpr int kMsDecimals = 3;
constexpr int kNameWidth = 7;
constexpr int kColumnWidth = 9;

QString Ms(double us)
{
    return QString::number(us / kUsPerMs, 'f', kMsDecimals);
}

} // namespace

QString MonitorStatsText(const MonitorStats &stats)
{
    QString text = QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                       .arg(QStringLiteral("command"), -kNameWidth)
                       .arg(QStringLiteral("requests"), kColumnWidth)
                       .arg(QStringLiteral("answered"), kColumnWidth)
                       .arg(QStringLiteral("p50 ms"), kColumnWidth)
                       .arg(QStringLiteral("p95 ms"), kColumnWidth)
                       .arg(QStringLiteral("max ms"), kColumnWidth);
    for (std::size_t c = 0; c < MonitorStats::kCommands; ++c) {
        const auto command = MonitorStats::Command(c);
        const MonitorStats::PerCommand &figures = stats.command(command);
        if (figures.requests == 0 && figures.answers.count() == 0)
            continue;
        const LatencySummary s = figures.answers.summary();
        text += QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                    .arg(QLatin1StringView(MonitorStats::commandName(command)), -kNameWidth)
                    .arg(qint64(figures.requests), kColumnWidth)
                    .arg(qint64(s.count), kColumnWidth)
                    .arg(Ms(s.p50_us), kColumnWidth)
                    .arg(Ms(s.p95_us), kColumnWidth)
                    .arg(Ms(s.max_us), kColumnWidth);
    }
    return text + QStringLiteral("stray %1  errors %2\n").arg(stats.strays()).arg(stats.errors());
}
