#include "ValueTextError.h"

#include "MivVariant.h"

namespace ValueText {

namespace {
constexpr qsizetype ShownLength = 80;
}

QString shown(const QString &text)
{
    if (text.size() <= ShownLength)
        return text;
    return text.left(ShownLength) + QStringLiteral("...");
}

MivError mismatch(const QString &text, quint16 type, const QString &note)
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

MivError overflow(const QString &text, quint16 type)
{
    return MivError(MivCode::Overflow, QStringLiteral("Overflow: %1 does not fit %2")
                                           .arg(shown(text), MivTypeName(type)));
}

} // namespace ValueText
