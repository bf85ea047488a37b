#pragma once

#include "modAPI.h"

#include <QString>

// "MM/DD HH:MM:SS.mmm", each number zero-padded; no year.
QString TimeStampText(const modAPI::SYSTEMTIME &time);
// The same local time whole, for files: ISO 8601 with milliseconds and the offset from UTC,
// "2026-03-07T09:05:03.045+01:00".
QString IsoTimeStampText(const modAPI::SYSTEMTIME &time);
