#pragma once

#include "MivTap.h"
#include "RecordEntries.h"

#include <QString>

#include <chrono>

// The record's kind of a tap event.
LinkEventKind RecordedKind(MivTapEventKind kind);

// The text of what was open before a listener began, stamped with that beginning:
// "open since HH:MM:SS.mmm" (local time).
QString OpenSinceText(std::chrono::system_clock::time_point since);
