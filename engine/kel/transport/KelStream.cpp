#include "KelStream.h"

void KelStream::announceInput()
{
    ++m_emitting;
    emit readyRead();
    // Deleted from the outermost emission's level: a deferred deletion asked for below a
    // nested event loop would run inside that loop, under the device's signal.
    if (--m_emitting == 0 && m_released)
        deleteLater();
}

void KelStream::release(std::unique_ptr<KelStream> stream)
{
    if (stream && stream->m_emitting > 0)
        stream.release()->m_released = true;
}

qint64 KelStream::writeNow(const char *, qint64)
{
    return 0;
}

void KelStream::end(const QString &why)
{
    if (m_ended)
        return;
    m_ended = true;
    emit ended(why);
}
