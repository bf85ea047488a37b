// Input: a text as UTF-8. LeadingNumber takes anything; RoundToInt32 fails only with the
// overflow error; a plain decimal reads as strtod reads it, and &H/&O as their bit pattern.
#include "FuzzCheck.h"

#include "LeadingNumber.h"
#include "MivError.h"

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The whole text is blanks then [sign] digits [. digits] [e [sign] digits], with a digit in the
// mantissa: the one form both readers agree on. strtod also takes hex, inf, nan and locale forms.
bool PlainDecimal(const std::string &s)
{
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    bool digit = false;
    for (; i < s.size() && IsDigit(s[i]); ++i)
        digit = true;
    if (i < s.size() && s[i] == '.') {
        for (++i; i < s.size() && IsDigit(s[i]); ++i)
            digit = true;
    }
    if (!digit)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (i == s.size() || !IsDigit(s[i]))
            return false;
        while (i < s.size() && IsDigit(s[i]))
            ++i;
    }
    return i == s.size();
}

// "&H" or "&O" and 1..32 bits of digits, nothing else.
bool ShortRadix(const std::string &s, int &radix, size_t &digitsAt)
{
    if (s.size() < 3 || s[0] != '&')
        return false;
    const char r = char(s[1] | 0x20);
    radix = r == 'h' ? 16 : r == 'o' ? 8 : 0;
    digitsAt = 2;
    const size_t maxDigits = radix == 16 ? 8 : 10; // 10 octal digits are 30 bits
    if (!radix || s.size() - digitsAt > maxDigits)
        return false;
    for (size_t i = digitsAt; i < s.size(); ++i) {
        const char c = char(s[i] | 0x20);
        const bool ok = radix == 16 ? (IsDigit(s[i]) || (c >= 'a' && c <= 'f')) : (s[i] >= '0' && s[i] <= '7');
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    const double number = LeadingNumber(text);

    try {
        const qint32 whole = RoundToInt32(number);
        FUZZ_CHECK(std::fabs(double(whole) - number) <= 0.5, "rounding moves by half at most",
                  QString::number(number, 'g', 17) + u' ' + QString::number(whole));
    } catch (const MivError &e) {
        FUZZ_CHECK(e.code() == MivCode::BasicOverflow && e.description() == u"Overflow",
                  "rounding fails only with Overflow", QString::number(e.code()) + u' ' + e.description());
        FUZZ_CHECK(std::isnan(number) || std::fabs(number) >= 2147483647.5, "only a number out of range overflows",
                  QString::number(number, 'g', 17));
    }

    if (PlainDecimal(bytes)) {
        const double expected = std::strtod(bytes.c_str(), nullptr);
        // Below the normal range the two may round a subnormal differently; that is no use here.
        if (expected == 0 || std::fabs(expected) >= DBL_MIN)
            FUZZ_CHECK(number == expected, "a plain decimal reads as strtod reads it",
                      QString::number(number, 'g', 17) + u' ' + QString::number(expected, 'g', 17));
    }
    int radix = 0;
    size_t digitsAt = 0;
    if (ShortRadix(bytes, radix, digitsAt)) {
        const quint32 pattern = quint32(std::strtoul(bytes.c_str() + digitsAt, nullptr, radix));
        FUZZ_CHECK(number == double(qint32(pattern)), "&H/&O read as a signed 32-bit pattern",
                  QString::number(number, 'g', 17));
    }
    return 0;
}
