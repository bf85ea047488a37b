#include "ValueTextError.h"

#include "MivVariant.h"

namespace ValueText {

namespace {
constexpr qsizetype ShownLength = 80;
}

QString shown(QStringView text)
{
    if (text.size() <= ShownLength)
        return text.toString();
    return text.first(ShownLength).toString() + QStringLiteral("...");
}

MivError mismatch(QStringView text, quint16 type, const QString &note)
{
    QString description = QStringLiteral("Type mismatch: '%1' is not a %2 value")
                              .arg(shown(text), MivTypeName(type));
    if (!note.isEmpty())
        description += QStringLiteral(" (%1)").arg(note);
    return MivError(MivCode::TypeMismatch, description);
}

MivError mismatchAbout(const QString &what)
{
    return MivError(MivCode::TypeMismatch, QStringLiteral("Type mismatch: ") + what);
}

MivError overflow(QStringView text, quint16 type)
{
    return MivError(MivCode::Overflow, QStringLiteral("Overflow: %1 does not fit %2")
                                           .arg(shown(text), MivTypeName(type)));
}

} // namespace ValueText
