// The value converter (AppendValueText then TextToValue) over mixed values, against two baselines
// doing the same typed conversions of the same values, in turns within one run:
// - the floor: std::to_chars/std::from_chars and a fixed-format date writer and reader on a
//   char buffer, the least any converter must do;
// - stock Qt: QString::number, QString::toInt/toDouble, QDate/QTime text.
// Usage: bench_converter [conversions a round, default 200000]

#include "MivConverter.h"
#include "MivError.h"
#include "Paired.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr qint64 kMsecsPerDay = 86'400'000;
constexpr qint64 kCurrencyScale = 10000;
constexpr int kDefaultCount = 200000;
const QDate kEpoch(1899, 12, 30);

// One value as its type and payload, so that each contender starts from the same typed value.
struct Sample
{
    quint16 type = VT_EMPTY;
    qint64 integer = 0; // integers, Boolean, currency (ten-thousandths), date (ms since the epoch)
    double real = 0;
    const char *text = "";
};

// One of each kind a device exchanges most: integers, reals, text, flags, dates, money.
std::vector<Sample> Samples()
{
    const qint64 date = kEpoch.daysTo(QDate(2024, 2, 29)) * kMsecsPerDay + QTime(13, 45, 10).msecsSinceStartOfDay();
    return {{VT_I4, 123456},   {VT_I2, -42}, {VT_R8, 0, 2.718281828}, {VT_R4, 0, 0.5},
            {VT_BSTR, 0, 0, "Station 4, line A"}, {VT_BOOL, 1}, {VT_DATE, date}, {VT_CY, 12345678},
            {VT_UI1, 255},     {VT_EMPTY}};
}

MivVariant VariantOf(const Sample &s)
{
    switch (s.type) {
    case VT_I4: return MivVariant(qint32(s.integer));
    case VT_I2: return MivVariant(qint16(s.integer));
    case VT_UI1: return MivVariant(quint8(s.integer));
    case VT_R8: return MivVariant(s.real);
    case VT_R4: return MivVariant(float(s.real));
    case VT_BSTR: return MivVariant(s.text);
    case VT_BOOL: return MivVariant(s.integer != 0);
    case VT_DATE: return MivVariant(MivDate{s.integer});
    case VT_CY: return MivVariant(MivCurrency{s.integer});
    }
    return MivVariant();
}

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// --- ours ---------------------------------------------------------------------------------

// Writes as the KEL provider does, appending to a text it owns; here one text is reused, as the
// floor reuses its buffer.
double ConverterRun(const std::vector<MivVariant> &values, int count, qint64 &check)
{
    const MivConverter converter;
    QString text;
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        text.resize(0);
        converter.AppendValueText(text, values[size_t(i) % values.size()]);
        check += converter.TextToValue(text).type() + text.size();
    }
    return count / Seconds(start);
}

// --- the floor ----------------------------------------------------------------------------

char *Digits(char *to, qint64 value, int width)
{
    for (int i = width - 1; i >= 0; --i, value /= 10)
        to[i] = char('0' + value % 10);
    return to + width;
}

qint64 ReadDigits(const char *from, int width)
{
    qint64 v = 0;
    for (int i = 0; i < width; ++i)
        v = v * 10 + (from[i] - '0');
    return v;
}

// "YYYY-MM-DD HH:MM:SS" of whole seconds in the Gregorian calendar.
char *FloorWriteDate(char *to, qint64 msecs)
{
    const qint64 days = msecs / kMsecsPerDay;
    const qint64 seconds = msecs % kMsecsPerDay / 1000;
    const std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days{days - 25569}}};
    to = Digits(to, int(ymd.year()), 4);
    *to++ = '-';
    to = Digits(to, unsigned(ymd.month()), 2);
    *to++ = '-';
    to = Digits(to, unsigned(ymd.day()), 2);
    *to++ = ' ';
    to = Digits(to, seconds / 3600, 2);
    *to++ = ':';
    to = Digits(to, seconds / 60 % 60, 2);
    *to++ = ':';
    return Digits(to, seconds % 60, 2);
}

qint64 FloorReadDate(const char *from)
{
    const std::chrono::year_month_day ymd{std::chrono::year(int(ReadDigits(from, 4))),
                                          std::chrono::month(unsigned(ReadDigits(from + 5, 2))),
                                          std::chrono::day(unsigned(ReadDigits(from + 8, 2)))};
    const qint64 days = std::chrono::sys_days(ymd).time_since_epoch().count() + 25569;
    return days * kMsecsPerDay + ((ReadDigits(from + 11, 2) * 60 + ReadDigits(from + 14, 2)) * 60 + ReadDigits(from + 17, 2)) * 1000;
}

struct FloorValue
{
    int type = 0;
    qint64 integer = 0;
    double real = 0;
    std::string text;
};

double FloorRun(const std::vector<Sample> &samples, int count, qint64 &check)
{
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        const Sample &s = samples[size_t(i) % samples.size()];
        char buffer[64];
        char *end = buffer + sizeof buffer;
        char *p = std::to_chars(buffer, end, s.type).ptr;
        if (s.type != VT_EMPTY) {
            *p++ = ',';
            switch (s.type) {
            case VT_R8: p = std::to_chars(p, end, s.real).ptr; break;
            case VT_R4: p = std::to_chars(p, end, float(s.real)).ptr; break;
            case VT_BSTR: p = std::copy_n(s.text, std::strlen(s.text), p); break;
            case VT_BOOL: p = s.integer ? std::copy_n("True", 4, p) : std::copy_n("False", 5, p); break;
            case VT_DATE: p = FloorWriteDate(p, s.integer); break;
            case VT_CY:
                p = std::to_chars(p, end, s.integer / kCurrencyScale).ptr;
                *p++ = '.';
                p = Digits(p, s.integer % kCurrencyScale, 4);
                break;
            default: p = std::to_chars(p, end, s.integer).ptr;
            }
        }
        // ...and back.
        FloorValue v;
        const char *q = std::from_chars(buffer, p, v.type).ptr;
        if (q != p) {
            ++q;
            switch (v.type) {
            case VT_R8: std::from_chars(q, p, v.real); break;
            case VT_R4: {
                float f = 0;
                std::from_chars(q, p, f);
                v.real = f;
                break;
            }
            case VT_BSTR: v.text.assign(q, size_t(p - q)); break;
            case VT_BOOL: v.integer = *q == 'T'; break;
            case VT_DATE: v.integer = FloorReadDate(q); break;
            case VT_CY: {
                const char *dot = std::from_chars(q, p, v.integer).ptr;
                v.integer = v.integer * kCurrencyScale + ReadDigits(dot + 1, 4);
                break;
            }
            default: std::from_chars(q, p, v.integer);
            }
        }
        check += v.type + (p - buffer) + qint64(v.text.size());
    }
    return count / Seconds(start);
}

// --- stock Qt -----------------------------------------------------------------------------

double QtRun(const std::vector<Sample> &samples, int count, qint64 &check)
{
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        const Sample &s = samples[size_t(i) % samples.size()];
        QString text = QString::number(s.type);
        if (s.type != VT_EMPTY) {
            text += u',';
            switch (s.type) {
            case VT_R8: text += QString::number(s.real, 'g', QLocale::FloatingPointShortest); break;
            case VT_R4: text += QString::number(float(s.real), 'g', QLocale::FloatingPointShortest); break;
            case VT_BSTR: text += QString::fromUtf8(s.text); break;
            case VT_BOOL: text += s.integer ? QStringLiteral("True") : QStringLiteral("False"); break;
            case VT_DATE:
                text += kEpoch.addDays(s.integer / kMsecsPerDay).toString(Qt::ISODate) + u' '
                        + QTime::fromMSecsSinceStartOfDay(int(s.integer % kMsecsPerDay)).toString(Qt::ISODate);
                break;
            case VT_CY:
                text += QString::number(s.integer / kCurrencyScale) + u'.'
                        + QString::number(s.integer % kCurrencyScale).rightJustified(4, u'0');
                break;
            default: text += QString::number(s.integer);
            }
        }
        // ...and back.
        const qsizetype comma = text.indexOf(u',');
        const int type = text.left(comma).toInt();
        const QString value = comma < 0 ? QString() : text.mid(comma + 1);
        qint64 integer = 0;
        double real = 0;
        switch (type) {
        case VT_R8: real = value.toDouble(); break;
        case VT_R4: real = value.toFloat(); break;
        case VT_BSTR: integer = value.size(); break;
        case VT_BOOL: integer = value.compare(u"True", Qt::CaseInsensitive) == 0; break;
        case VT_DATE:
            integer = kEpoch.daysTo(QDate::fromString(value.left(10), Qt::ISODate)) * kMsecsPerDay
                      + QTime::fromString(value.mid(11), Qt::ISODate).msecsSinceStartOfDay();
            break;
        case VT_CY: {
            const qsizetype dot = value.indexOf(u'.');
            integer = value.left(dot).toLongLong() * kCurrencyScale + value.mid(dot + 1).toInt();
            break;
        }
        case VT_EMPTY: break;
        default: integer = value.toLongLong();
        }
        check += type + integer + qint64(real) + text.size();
    }
    return count / Seconds(start);
}

} // namespace

int main(int argc, char **argv)
{
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : kDefaultCount;
    try {
        const std::vector<Sample> samples = Samples();
        std::vector<MivVariant> values;
        for (const Sample &s : samples)
            values.push_back(VariantOf(s));
        qint64 check = 0;
        PairedRow floorRow("converter, mixed values, vs floor", "conversions/s", Better::Higher);
        PairedRow qtRow("converter, mixed values, vs stock Qt", "conversions/s", Better::Higher);
        PairedRounds({&floorRow, &qtRow}, [&] {
            const double ours = ConverterRun(values, count, check);
            floorRow.add(ours, FloorRun(samples, count, check));
            qtRow.add(ours, QtRun(samples, count, check));
            return true;
        });
        std::printf("conversions a round: %d (check %lld)\n", count, static_cast<long long>(check));
    } catch (const MivError &e) {
        std::fprintf(stderr, "bench_converter: %s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
