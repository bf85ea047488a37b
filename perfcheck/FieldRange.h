#pragma once

#include <QtGlobal>

// The number fields of the performance window: the values each takes, and what a value
// outside them shows.
struct FieldRange
{
    qint32 low;
    qint32 high;
    const char *message;
};

constexpr FieldRange kHourRange{0, 500, "Input the integer of 0 to 500 into the hour."};
constexpr FieldRange kMinuteRange{0, 59, "Input the integer of 0 to 59 into the minute."};
constexpr FieldRange kCountRange{1, 65535, "Input the integer of 1 to 65535 into the number of times."};
