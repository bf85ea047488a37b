#include "KelDevice.h"

#include "MivConverter.h"
#include "MivError.h"

namespace {
const QString kOk = QStringLiteral("0");
const QString kFail = QString::number(MivCode::Fail);
const QString kInvalidArg = QString::number(MivCode::InvalidArg);
const QString kNotImpl = QString::number(MivCode::NotImpl);

// The index of the n-th ':' (1-based), or -1.
qsizetype nthColon(const QString &text, int n)
{
    qsizetype at = -1;
    for (int i = 0; i < n; ++i) {
        at = text.indexOf(u':', at + 1);
        if (at < 0)
            return -1;
    }
    return at;
}
} // namespace

QString KelDevice::answer(const QString &request)
{
    for (const QString &prefix : m_failPrefixes) {
        if (request.startsWith(prefix))
            return kFail;
    }
    const QStringView top = QStringView(request).left(qMax<qsizetype>(0, request.indexOf(u':')));
    const QStringView word = request.contains(u':') ? top : QStringView(request);
    if (word == u"START" || word == u"STOP")
        return kOk;
    if (word == u"PUT") {
        // PUT:part:number:sub:value text (which may hold ':' itself)
        const qsizetype end = nthColon(request, 4);
        if (end < 0)
            return kInvalidArg;
        try {
            const MivConverter converter;
            const QString text = converter.ValueToText(converter.TextToValue(request.mid(end + 1)));
            m_values.insert(request.mid(4, end - 4), text);
            return kOk;
        } catch (const MivError &) {
            return kInvalidArg;
        }
    }
    if (word == u"GET") {
        if (nthColon(request, 3) < 0)
            return kInvalidArg;
        const qsizetype end = nthColon(request, 4);
        const QString key = request.mid(4, end < 0 ? -1 : end - 4);
        return QStringLiteral("0,") + m_values.value(key, QStringLiteral("0"));
    }
    return kNotImpl;
}
