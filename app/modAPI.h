#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <functional>

// The operating-system calls the windows use, behind their usual names.
namespace modAPI {

// Milliseconds of a steady clock as a wrapping 32-bit count.
quint32 GetTickCount();
// Tests replace the tick source to make the counter wrap; an empty function restores the clock.
void SetTickSource(std::function<quint32()> source);

struct SYSTEMTIME
{
    quint16 wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};
SYSTEMTIME GetLocalTime();

// One record per text on the debug stream: by default the text byte for byte and a line end,
// in a single write to standard error, so records stay whole and apart.
void OutputDebugStringA(const QByteArray &text);
void SetDebugSink(std::function<void(const QByteArray &)> sink); // empty: standard error

using HANDLE = void *;
constexpr quint32 NORMAL_PRIORITY_CLASS = 0x20;
constexpr quint32 HIGH_PRIORITY_CLASS = 0x80;
HANDLE GetCurrentProcess();
// Elsewhere than Windows: the nearest nice value; a refusal is ignored (returns false).
bool SetPriorityClass(HANDLE process, quint32 priorityClass);
quint32 GetPriorityClass(HANDLE process);

// Blocks the calling thread.
void Sleep(quint32 milliseconds);

} // namespace modAPI
