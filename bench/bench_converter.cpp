// Conversions per second of the value converter (ValueToText then TextToValue of mixed values)
// against QString::number and toInt of the same count.
// Usage: bench_converter [conversions, default 1000000]

#include "BenchRow.h"
#include "MivConverter.h"
#include "MivError.h"

#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Returns conversions per second; `check` keeps the work from being optimised away.
double ConverterRun(const MivConverter &converter, const std::vector<MivVariant> &values, int count, qint64 &check)
{
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        const MivVariant &value = values[size_t(i) % values.size()];
        const QString text = converter.ValueToText(value);
        check += converter.TextToValue(text).type() + text.size();
    }
    return count / Seconds(start);
}

double BaselineRun(int count, qint64 &check)
{
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        const QString text = QString::number(i * 7919);
        check += text.toInt() + text.size();
    }
    return count / Seconds(start);
}

} // namespace

int main(int argc, char **argv)
{
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 1000000;
    try {
        const MivConverter converter;
        // One of each kind a device exchanges most: integers, reals, text, flags, dates, money.
        const QStringList texts{"3,123456", "2,-42", "5,2.718281828", "4,0.5", "8,Station 4, line A",
                                "11,True", "7,2024-02-29 13:45:10", "6,1234.5678", "17,255", "0"};
        std::vector<MivVariant> values;
        for (const QString &text : texts)
            values.push_back(converter.TextToValue(text));
        qint64 check = 0;
        ConverterRun(converter, values, count / 10 + 1, check);
        BaselineRun(count / 10 + 1, check);
        std::vector<double> ours;
        std::vector<double> baseline;
        for (int run = 0; run < 5; ++run) {
            ours.push_back(ConverterRun(converter, values, count, check));
            baseline.push_back(BaselineRun(count, check));
        }
        const double oursRate = Median(ours);
        const double baseRate = Median(baseline);
        std::printf("conversions per run: %d (median of 5 runs, check %lld)\n", count, static_cast<long long>(check));
        std::printf("ValueToText + TextToValue, mixed: %.0f/s\n", oursRate);
        std::printf("QString::number + toInt:          %.0f/s\n", baseRate);
        PrintRow("converter, mixed values", oursRate, baseRate, "conversions/s", baseRate / oursRate);
    } catch (const MivError &e) {
        std::fprintf(stderr, "bench_converter: %s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
