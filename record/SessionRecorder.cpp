#include "SessionRecorder.h"

#include "JsonObjectWriter.h"

#include <QDateTime>

namespace {

using namespace std::chrono;

qint64 EpochMs(system_clock::time_point at)
{
    return duration_cast<milliseconds>(at.time_since_epoch()).count();
}

const char *EventKindName(LinkEventKind kind)
{
    switch (kind) {
    case LinkEventKind::Opened: return "opened";
    case LinkEventKind::Connected: return "connected";
    case LinkEventKind::Disconnected: return "disconnected";
    case LinkEventKind::Closed: return "closed";
    case LinkEventKind::Reconnecting: return "reconnecting";
    case LinkEventKind::Outage: return "outage";
    case LinkEventKind::Error: break;
    }
    return "error";
}

const char *RoleName(LinkRole role)
{
    switch (role) {
    case LinkRole::Client: return "client";
    case LinkRole::Server: return "server";
    case LinkRole::Serial: return "serial";
    case LinkRole::None: break;
    }
    return nullptr;
}

// Local time with milliseconds and its offset from UTC written out, also when it is zero.
QString IsoWithOffset(qint64 epochMs)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(epochMs);
    const QDateTime withOffset = local.toOffsetFromUtc(local.offsetFromUtc());
    QString text = withOffset.toString(Qt::ISODateWithMs);
    if (text.endsWith(u'Z'))
        text.replace(text.size() - 1, 1, QStringLiteral("+00:00"));
    return text;
}

void AddSummary(JsonObjectWriter &&object, const LatencySummary &s)
{
    object.addUnsigned("count", s.count);
    object.addReal("min_us", s.min_us);
    object.addReal("mean_us", s.mean_us);
    object.addReal("p50_us", s.p50_us);
    object.addReal("p95_us", s.p95_us);
    object.addReal("p99_us", s.p99_us);
    object.addReal("max_us", s.max_us);
    object.finish();
}

} // namespace

SessionRecorder::SessionRecorder(QObject *parent)
    : QObject(parent)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(kFlushDelayMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &SessionRecorder::writeOut);
}

SessionRecorder::~SessionRecorder()
{
    if (isRecording())
        finish();
}

QString SessionRecorder::program()
{
    return QStringLiteral(KEL_PROGRAM);
}

bool SessionRecorder::start(const QString &path, const QString &via)
{
    if (isRecording()) {
        m_error = QStringLiteral("A session is already being recorded to \"%1\".").arg(m_file.fileName());
        return false;
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        m_error = QStringLiteral("Cannot record the session to \"%1\": %2").arg(path, m_file.errorString());
        return false;
    }
    m_started = steady_clock::now();
    m_startedWall = system_clock::now();
    m_lastMs = EpochMs(m_startedWall);
    m_lastUs = 0;
    m_written = 0;
    m_buffer.resize(0);
    m_buffer.reserve(kFlushBytes + kFlushBytes / 4);
    append("session", m_startedWall, std::nullopt, [&](JsonObjectWriter &record) {
        record.addInteger("version", kVersion);
        record.addText("program", program());
        record.addText("started", IsoWithOffset(m_lastMs));
        if (!via.isEmpty())
            record.addText("via", via);
    });
    if (!flush()) {
        m_error = QStringLiteral("Cannot record the session to \"%1\": %2").arg(path, m_error);
        m_file.close();
        return false;
    }
    m_error.clear();
    emit recordingChanged(true);
    return true;
}

void SessionRecorder::stop()
{
    if (!isRecording())
        return;
    finish();
    if (isRecording()) {
        fail();
        return;
    }
    emit recordingChanged(false);
}

// Writes the end record and closes the file; leaves it open when a write fails. Emits nothing:
// the buffer is written first, so the end record cannot fill it.
void SessionRecorder::finish()
{
    if (!flush())
        return;
    append("end", system_clock::now(), std::nullopt, [](JsonObjectWriter &) {});
    if (flush())
        m_file.close();
}

void SessionRecorder::fail()
{
    m_error = QStringLiteral("Recording stopped: cannot write to \"%1\": %2").arg(m_file.fileName(), m_error);
    m_flushTimer.stop();
    m_buffer.resize(0);
    m_file.close();
    emit failed(m_error);
    emit recordingChanged(false);
}

// Writes out the buffer. On failure m_error holds the reason and the file is cut back to its
// last whole record.
bool SessionRecorder::flush()
{
    m_flushTimer.stop();
    const char *data = m_buffer.constData();
    qint64 left = m_buffer.size();
    while (left > 0) {
        const qint64 written = m_file.write(data, left);
        if (written <= 0) {
            m_error = m_file.errorString();
            m_file.resize(m_written);
            return false;
        }
        data += written;
        left -= written;
    }
    m_written += m_buffer.size();
    m_buffer.resize(0);
    return true;
}

void SessionRecorder::writeOut()
{
    if (!flush())
        fail();
}

// Adds one whole record, with the fields that fill writes after its type and times.
template<typename Fill>
void SessionRecorder::append(const char *type, system_clock::time_point wall, std::optional<steady_clock::time_point> steady,
                             Fill &&fill)
{
    if (!isRecording())
        return;
    JsonObjectWriter record(m_buffer);
    record.addWord("t", type);
    m_lastMs = std::max(m_lastMs, EpochMs(wall));
    record.addInteger("ms", m_lastMs);
    if (steady) {
        m_lastUs = std::max(m_lastUs, qint64(duration_cast<microseconds>(*steady - m_started).count()));
        record.addInteger("us", m_lastUs);
    }
    fill(record);
    record.finish();
    m_buffer += '\n';
    if (m_buffer.size() >= kFlushBytes)
        writeOut();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void SessionRecorder::addLog(const QString &line)
{
    append("log", system_clock::now(), std::nullopt, [&](JsonObjectWriter &record) {
        record.addText("line", line);
    });
}

void SessionRecorder::addFrame(const RecordedFrame &frame)
{
    append("frame", frame.wall, frame.steady, [&](JsonObjectWriter &record) {
        record.addWord("dir", frame.direction == FrameDirection::In ? "in" : "out");
        record.addText("peer", frame.peer);
        record.addText("text", frame.text);
        record.addHex("hex", frame.wire);
        if (!frame.side.isEmpty())
            record.addText("side", frame.side);
    });
}

void SessionRecorder::addEvent(const RecordedEvent &event)
{
    append("event", event.wall, event.steady, [&](JsonObjectWriter &record) {
        record.addWord("kind", EventKindName(event.kind));
        record.addText("peer", event.peer);
        record.addText("text", event.text);
        if (const char *role = RoleName(event.role))
            record.addWord("role", role);
        if (!event.local.isEmpty())
            record.addText("local", event.local);
        if (!event.side.isEmpty())
            record.addText("side", event.side);
        if (event.kind == LinkEventKind::Reconnecting)
            record.addInteger("attempt", event.attempt);
        if (event.kind == LinkEventKind::Outage) {
            record.addInteger("start_ms", EpochMs(event.since));
            record.addInteger("length_ms", event.lengthMs);
        }
    });
}

void SessionRecorder::addPerf(const RecordedPerf &perf)
{
    append("perf", system_clock::now(), std::nullopt, [&](JsonObjectWriter &record) {
        record.addText("target", perf.target);
        record.addText("pattern", perf.pattern);
        record.addText("mode", perf.mode);
        record.addWord("result", perf.result == PerfResult::End ? "END" : "ERROR");
        record.addInteger("elapsed_ms", perf.elapsedMs);
        record.addUnsigned("cycles", perf.cycles);
        record.addUnsigned("errors", perf.errors);
        AddSummary(record.addObject("write"), perf.write);
        AddSummary(record.addObject("read"), perf.read);
    });
}

void SessionRecorder::addPlan(const RecordedPlan &plan)
{
    append("plan", system_clock::now(), std::nullopt, [&](JsonObjectWriter &record) {
        record.addText("name", plan.name);
        record.addInteger("passed", plan.passed);
        record.addInteger("failed", plan.failed);
        record.addInteger("elapsed_ms", plan.elapsedMs);
        record.addObjects("steps", plan.steps.size(), [&](qsizetype i, JsonObjectWriter &step) {
            const RecordedPlanStep &s = plan.steps.at(i);
            step.addText("name", s.name);
            step.addText("send", s.send);
            step.addWord("result", s.passed ? "pass" : "fail");
            step.addText("answer", s.answer);
            step.addText("reason", s.reason);
            step.addInteger("us", s.us);
        });
    });
}
