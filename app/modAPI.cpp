#include "modAPI.h"

#include <QDateTime>

#include <cerrno>
#include <chrono>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace modAPI {

namespace {

std::function<quint32()> &tickSource()
{
    static std::function<quint32()> instance;
    return instance;
}

std::function<void(const QByteArray &)> &debugSink()
{
    static std::function<void(const QByteArray &)> instance;
    return instance;
}

// The text and a line end in one write, so that records of concurrent writers do not mix and
// a reader can tell them apart; the text itself is passed on byte for byte.
void writeToStandardError(const QByteArray &text)
{
    QByteArray record = text;
    record.append('\n');
    const char *data = record.constData();
    qsizetype left = record.size();
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        left -= n;
    }
}

constexpr int kHighNice = -10;

} // namespace

quint32 GetTickCount()
{
    if (const auto &source = tickSource())
        return source();
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return quint32(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void SetTickSource(std::function<quint32()> source)
{
    tickSource() = std::move(source);
}

SYSTEMTIME GetLocalTime()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    SYSTEMTIME st {};
    st.wYear = quint16(date.year());
    st.wMonth = quint16(date.month());
    st.wDayOfWeek = quint16(date.dayOfWeek() % 7); // Sunday is 0
    st.wDay = quint16(date.day());
    st.wHour = quint16(time.hour());
    st.wMinute = quint16(time.minute());
    st.wSecond = quint16(time.second());
    st.wMilliseconds = quint16(time.msec());
    return st;
}

void OutputDebugStringA(const QByteArray &text)
{
    if (const auto sink = debugSink())
        sink(text);
    else
        writeToStandardError(text);
}

void SetDebugSink(std::function<void(const QByteArray &)> sink)
{
    debugSink() = std::move(sink);
}

HANDLE GetCurrentProcess()
{
    // Windows' pseudo handle for the calling process.
    return reinterpret_cast<HANDLE>(qintptr(-1));
}

bool SetPriorityClass(HANDLE process, quint32 priorityClass)
{
    if (process != GetCurrentProcess())
        return false;
    const int nice = priorityClass == HIGH_PRIORITY_CLASS ? kHighNice : 0;
    return ::setpriority(PRIO_PROCESS, 0, nice) == 0;
}

quint32 GetPriorityClass(HANDLE process)
{
    if (process != GetCurrentProcess())
        return 0;
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    if (nice == -1 && errno != 0)
        return 0;
    return nice < 0 ? HIGH_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS;
}

void Sleep(quint32 milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace modAPI
