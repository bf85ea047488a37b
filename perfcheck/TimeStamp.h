#pragma once

#include "modAPI.h"

#include <QString>

// "MM/DD HH:MM:SS.mmm", each number zero-padded; no year.
QString TimeStampText(const modAPI::SYSTEMTIME &time);
