#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <exception>

// HRESULT-style codes the engine reports. Stored as signed 32-bit, the way callers log them.
namespace MivCode {
constexpr qint32 NotImpl = qint32(0x80004001u);      // E_NOTIMPL
constexpr qint32 Fail = qint32(0x80004005u);         // E_FAIL
constexpr qint32 InvalidArg = qint32(0x80070057u);   // E_INVALIDARG
constexpr qint32 TypeMismatch = qint32(0x80020005u); // DISP_E_TYPEMISMATCH
constexpr qint32 Overflow = qint32(0x8002000Au);     // DISP_E_OVERFLOW
constexpr qint32 Timeout = qint32(0x800705B4u);      // HRESULT_FROM_WIN32(ERROR_TIMEOUT)
constexpr qint32 NotConnected = qint32(0x800708CAu); // HRESULT_FROM_WIN32(ERROR_NOT_CONNECTED)
constexpr qint32 BasicOverflow = 6;                  // the runtime's own "Overflow"
} // namespace MivCode

// The one error type of the engine and of the shared procedures: a code and a description
// that callers show or log as it stands.
class MivError : public std::exception
{
public:
    MivError(qint32 code, QString description);

    qint32 code() const noexcept { return m_code; }
    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    qint32 m_code;
    QString m_description;
    QByteArray m_what;
};
