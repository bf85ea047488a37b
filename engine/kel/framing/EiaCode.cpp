#include "EiaCode.h"

namespace EiaCode {
namespace {

struct Entry
{
    char16_t c;
    uchar code;
};

constexpr Entry kCode[] = {
    {u'0', 0x20}, {u'1', 0x01}, {u'2', 0x02}, {u'3', 0x13}, {u'4', 0x04}, {u'5', 0x15},
    {u'6', 0x16}, {u'7', 0x07}, {u'8', 0x08}, {u'9', 0x19},
    {u'A', 0x61}, {u'B', 0x62}, {u'C', 0x73}, {u'D', 0x64}, {u'E', 0x75}, {u'F', 0x76},
    {u'G', 0x67}, {u'H', 0x68}, {u'I', 0x79}, {u'J', 0x51}, {u'K', 0x52}, {u'L', 0x43},
    {u'M', 0x54}, {u'N', 0x45}, {u'O', 0x46}, {u'P', 0x57}, {u'Q', 0x58}, {u'R', 0x49},
    {u'S', 0x32}, {u'T', 0x23}, {u'U', 0x34}, {u'V', 0x25}, {u'W', 0x26}, {u'X', 0x37},
    {u'Y', 0x38}, {u'Z', 0x29},
    {u' ', 0x10}, {u'+', 0x70}, {u'-', 0x40}, {u'.', 0x6B}, {u',', 0x3B}, {u'/', 0x31},
    {u'(', 0x1A}, {u')', 0x4A}, {u'&', 0x0E},
    {u'\b', 0x2A}, {u'\t', 0x3E}, {u'\x7F', 0x7F},
};

constexpr Tables Build()
{
    Tables t{};
    for (const Entry &e : kCode) {
        t.fromChar[e.c] = e.code;
        if (e.c >= u'A' && e.c <= u'Z')
            t.fromChar[e.c - u'A' + u'a'] = e.code;
        t.toChar[e.code] = e.c;
    }
    return t;
}

constexpr bool OddParity(uchar code)
{
    int bits = 0;
    for (uchar b = code; b; b >>= 1)
        bits += b & 1;
    return bits % 2 == 1;
}

constexpr bool CodesAreSound()
{
    for (const Entry &e : kCode) {
        if (!OddParity(e.code) || e.code == kEndOfBlock)
            return false;
        for (const Entry &other : kCode)
            if (&other != &e && (other.code == e.code || other.c == e.c))
                return false;
    }
    return true;
}

static_assert(CodesAreSound(), "every EIA code has odd parity and is unique");

} // namespace

constexpr Tables kTables = Build();

} // namespace EiaCode
