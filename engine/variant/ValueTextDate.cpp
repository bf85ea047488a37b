#include "ValueTextDate.h"

#include "ValueTextError.h"

namespace ValueText {

namespace {

constexpr qint64 MsecsPerDay = 86'400'000;

// Days from 1970-01-01 of a proleptic Gregorian date (the well-known era-based method).
constexpr qint64 daysFromCivil(qint64 y, int m, int d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Civil
{
    int year;
    int month;
    int day;
};

// In 32 bits, which divide quicker: the days of the years 0100..9999 fit well.
constexpr Civil civilFromDays(qint32 z)
{
    z += 719468;
    const qint32 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint32 doe = z - era * 146097;
    const qint32 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint32 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint32 mp = (5 * doy + 2) / 153;
    const int d = doy - (153 * mp + 2) / 5 + 1;
    const int m = mp < 10 ? mp + 3 : mp - 9;
    return {yoe + era * 400 + (m <= 2), m, d};
}

constexpr qint64 EpochDays = daysFromCivil(1899, 12, 30);

constexpr qint64 msecsOf(qint64 y, int m, int d)
{
    return (daysFromCivil(y, m, d) - EpochDays) * MsecsPerDay;
}

constexpr qint64 FirstMsecs = msecsOf(100, 1, 1);
constexpr qint64 LastMsecs = msecsOf(10000, 1, 1) - 1;

int daysInMonth(qint64 y, int m)
{
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : Days[m - 1];
}

// Exactly width digits, zeros in front; the value has no more.
char *padded(char *to, quint32 value, int width)
{
    for (int i = width - 1; i >= 0; --i, value /= 10)
        to[i] = char('0' + value % 10);
    return to + width;
}

char *writeDay(char *to, const Civil &c)
{
    to = padded(to, c.year, 4);
    *to++ = '-';
    to = padded(to, c.month, 2);
    *to++ = '-';
    return padded(to, c.day, 2);
}

char *writeTime(char *to, quint32 msecsInDay)
{
    const quint32 seconds = msecsInDay / 1000;
    to = padded(to, seconds / 3600, 2);
    *to++ = ':';
    to = padded(to, seconds / 60 % 60, 2);
    *to++ = ':';
    to = padded(to, seconds % 60, 2);
    if (msecsInDay % 1000 == 0)
        return to;
    *to++ = '.';
    return padded(to, msecsInDay % 1000, 3);
}

// A cursor over the text that reads fixed fields and fails by returning false.
class Reader
{
public:
    explicit Reader(QStringView text) : m_text(text) {}

    bool atEnd() const { return m_pos == m_text.size(); }
    bool peek(QChar c) const { return !atEnd() && m_text[m_pos] == c; }
    bool take(QChar c)
    {
        if (!peek(c))
            return false;
        ++m_pos;
        return true;
    }
    bool skipBlanks()
    {
        const qsizetype start = m_pos;
        while (!atEnd() && m_text[m_pos].isSpace())
            ++m_pos;
        return m_pos > start;
    }
    // minDigits..maxDigits decimal digits.
    bool number(int minDigits, int maxDigits, qint64 *value, int *count = nullptr)
    {
        int n = 0;
        qint64 v = 0;
        while (n < maxDigits && !atEnd() && m_text[m_pos] >= u'0' && m_text[m_pos] <= u'9') {
            v = v * 10 + (m_text[m_pos].unicode() - u'0');
            ++m_pos;
            ++n;
        }
        if (n < minDigits)
            return false;
        *value = v;
        if (count)
            *count = n;
        return true;
    }
    // True when a date "YYYY-" starts here rather than a time.
    bool dateAhead() const
    {
        return m_text.size() - m_pos > 4 && m_text[m_pos + 4] == u'-';
    }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

struct Fields
{
    qint64 year = 1899, month = 12, day = 30;
    qint64 hour = 0, minute = 0, second = 0, msec = 0;
};

bool readDatePart(Reader &r, Fields &f)
{
    return r.number(4, 4, &f.year) && r.take(u'-') && r.number(1, 2, &f.month) && r.take(u'-')
           && r.number(1, 2, &f.day);
}

bool readTimePart(Reader &r, Fields &f)
{
    if (!(r.number(1, 2, &f.hour) && r.take(u':') && r.number(1, 2, &f.minute) && r.take(u':')
          && r.number(1, 2, &f.second)))
        return false;
    if (r.take(u'.')) {
        int digits = 0;
        if (!r.number(1, 3, &f.msec, &digits))
            return false;
        for (; digits < 3; ++digits)
            f.msec *= 10;
    }
    return true;
}

} // namespace

MivDate readDate(QStringView text)
{
    Reader r(text);
    Fields f;
    r.skipBlanks();
    bool ok = true;
    if (r.dateAhead()) {
        ok = readDatePart(r, f);
        if (ok && r.skipBlanks() && !r.atEnd())
            ok = readTimePart(r, f);
    } else {
        ok = readTimePart(r, f);
    }
    r.skipBlanks();
    if (!ok || !r.atEnd() || f.month < 1 || f.month > 12 || f.day < 1
        || f.day > daysInMonth(f.year, int(f.month)) || f.hour > 23 || f.minute > 59 || f.second > 59)
        throw mismatch(text, VT_DATE);
    if (f.year < 100)
        throw overflow(text.trimmed(), VT_DATE);
    const qint64 msecs = msecsOf(f.year, int(f.month), int(f.day))
                         + ((f.hour * 60 + f.minute) * 60 + f.second) * 1000 + f.msec;
    return MivDate{msecs};
}

char *writeDate(char *to, MivDate value)
{
    if (value.msecs < FirstMsecs || value.msecs > LastMsecs)
        throw overflow(QStringLiteral("the date %1 ms").arg(value.msecs), VT_DATE);
    qint64 days = value.msecs / MsecsPerDay;
    qint64 inDay = value.msecs % MsecsPerDay;
    if (inDay < 0) {
        inDay += MsecsPerDay;
        --days;
    }
    if (days != 0) {
        to = writeDay(to, civilFromDays(qint32(days + EpochDays)));
        if (inDay == 0)
            return to;
        *to++ = ' ';
    }
    return writeTime(to, quint32(inDay));
}

} // namespace ValueText
