#pragma once

#include <QtGlobal>

// The EIA RS-244 punched tape code: one byte per character, odd parity in bit 0x10. The code
// has no case: lower-case letters are sent as upper case.
namespace EiaCode {

constexpr uchar kEndOfBlock = 0x80; // sent for the frame terminator

struct Tables
{
    uchar fromChar[128]; // code byte of a character, 0 when the code lacks it
    char16_t toChar[256]; // character of a code byte, 0 when none (also for end of block)
};

extern const Tables kTables;

inline uchar FromChar(char16_t c)
{
    return c < 128 ? kTables.fromChar[c] : 0;
}

inline char16_t ToChar(uchar code)
{
    return kTables.toChar[code];
}

} // namespace EiaCode
