#pragma once

#include <QObject>
#include <QString>

#include <memory>

// The byte stream of one link on its medium: what differs between a TCP socket and a serial
// line. Owns its device. Reports arriving input, written bytes, and its end: the peer closed
// it or the device went away.
class KelStream : public QObject
{
    Q_OBJECT
public:
    // Bytes that the stream holds at most before it leaves the rest to the system, whose
    // buffers then hold the peer back.
    static constexpr qint64 kReadBufferSize = 16384;

    // Input may be waiting: read() would return bytes, or find the end.
    virtual bool hasInput() const = 0;
    virtual qint64 bytesToWrite() const = 0;
    // What has arrived, without waiting: bytes read, 0 when none.
    virtual qint64 read(char *data, qint64 maxSize) = 0;
    // Waits up to ms for input, outside the event loop, and reads it: bytes read, 0 when none
    // came, -1 when the stream ended (ended() has been emitted).
    virtual qint64 waitAndRead(char *data, qint64 maxSize, int ms) = 0;
    // Whether input waits, asking the system if need be (without waiting), before the event
    // loop has told of it: read() would return bytes or find the end.
    virtual bool pollInput() { return hasInput(); }
    // Writes now what the system takes without queueing: bytes written, possibly none.
    virtual qint64 writeNow(const char *data, qint64 size);
    // Queues bytes behind what is queued already and, unless asked to wait, starts writing
    // them; false when the device refuses them. Queued bytes go out from the event loop at the
    // latest.
    virtual bool queue(const char *data, qint64 size, bool flushNow = true) = 0;
    // Writes what is queued, as far as the device takes it now.
    virtual void flush() = 0;
    virtual QString errorString() const = 0;
    // Closes the device at once; what is queued is dropped. Emits nothing.
    virtual void abort() = 0;
    // For an owner that goes: deletes the stream now, or, while a slot of readyRead() runs
    // (the device is inside its signal, perhaps below a nested event loop), once that returns.
    static void release(std::unique_ptr<KelStream> stream);

signals:
    void readyRead();
    void bytesWritten();
    void ended(const QString &why);

protected:
    // Emits readyRead() for the device.
    void announceInput();
    // A readyRead() slot runs.
    bool isAnnouncing() const { return m_emitting > 0; }
    // Reports the end once.
    void end(const QString &why);
    bool hasEnded() const { return m_ended; }

private:
    int m_emitting = 0; // readyRead() slots that run
    bool m_released = false;
    bool m_ended = false;
};
