#include "ProfileFile.h"

#include "BoundedFile.h"
#include "ProfileFields.h"
#include "TomlNesting.h"

#include <toml++/toml.h>

#include <QSaveFile>

#include <string_view>

namespace {

using Kind = ProfileField::Kind;

// A profile's keys sit at most three deep (connection.serial.com_port).
constexpr int kMaxProfileNesting = 8;

struct ProfileError
{
    int line;
    QString what;
};

int LineOf(const toml::node &node)
{
    return int(node.source().begin.line);
}

QString Name(std::string_view key)
{
    return QString::fromUtf8(key.data(), qsizetype(key.size()));
}

QString Quoted(const QStringList &choices)
{
    QStringList quoted;
    for (const QString &choice : choices)
        quoted << u'"' + choice + u'"';
    return quoted.join(QStringLiteral(", "));
}

// What a key takes, for a complaint and for the comment above it.
QString Takes(const ProfileField &field)
{
    switch (field.kind) {
    case Kind::Text: return QStringLiteral("a text in quotes");
    case Kind::Flag: return QStringLiteral("true or false");
    case Kind::Whole: return QStringLiteral("a whole number from %1 to %2").arg(field.min).arg(field.max);
    case Kind::Choice:
        return QStringLiteral("one of %1").arg(field.wholeChoices ? field.choices.join(QStringLiteral(", ")) : Quoted(field.choices));
    }
    return {};
}

// The field's text as SetFieldText takes it, or ProfileError.
QString ReadValue(const ProfileField &field, const toml::node &node)
{
    const auto refuse = [&] { return ProfileError{LineOf(node), QStringLiteral("%1 must be %2").arg(QLatin1String(field.key), Takes(field))}; };
    switch (field.kind) {
    case Kind::Text:
        if (!node.is_string())
            throw refuse();
        return QString::fromStdString(*node.value<std::string>());
    case Kind::Flag:
        if (!node.is_boolean())
            throw refuse();
        return *node.value<bool>() ? QStringLiteral("true") : QStringLiteral("false");
    case Kind::Whole: {
        const auto value = node.value_exact<std::int64_t>();
        if (!node.is_integer() || !value || *value < field.min || *value > field.max)
            throw refuse();
        return QString::number(*value);
    }
    case Kind::Choice: {
        QString text;
        if (field.wholeChoices && node.is_integer()) {
            if (const auto value = node.value_exact<std::int64_t>())
                text = QString::number(*value);
        } else if (!field.wholeChoices && node.is_string()) {
            text = QString::fromStdString(*node.value<std::string>());
        }
        if (!field.choices.contains(text))
            throw refuse();
        return text;
    }
    }
    throw refuse();
}

const ProfileTable *FindTable(const QString &name)
{
    for (const ProfileTable &table : ProfileTables()) {
        if (name == QLatin1String(table.name))
            return &table;
    }
    return nullptr;
}

const ProfileField *FindField(const QString &table, const QString &key)
{
    for (const ProfileField &field : ProfileFields()) {
        if (table == QLatin1String(field.table) && key == QLatin1String(field.key))
            return &field;
    }
    return nullptr;
}

// The keys a table may hold, for a complaint about one it may not.
QString KnownKeys(const QString &table)
{
    QStringList keys;
    for (const ProfileTable &inner : ProfileTables()) {
        const QString name = QLatin1String(inner.name);
        if (name.startsWith(table + u'.') && !name.sliced(table.size() + 1).contains(u'.'))
            keys << QStringLiteral("[%1]").arg(name);
        if (table.isEmpty() && !name.contains(u'.'))
            keys << QStringLiteral("[%1]").arg(name);
    }
    for (const ProfileField &field : ProfileFields()) {
        if (table == QLatin1String(field.table))
            keys << QLatin1String(field.key);
    }
    return keys.join(QStringLiteral(", "));
}

void ReadTable(const toml::table &table, const QString &path, Profile &profile)
{
    for (const auto &[key, node] : table) {
        const QString name = Name(key.str());
        const QString inner = path.isEmpty() ? name : path + u'.' + name;
        if (FindTable(inner)) {
            const toml::table *nested = node.as_table();
            if (!nested)
                throw ProfileError{LineOf(node), QStringLiteral("%1 must be a table: [%1]").arg(inner)};
            ReadTable(*nested, inner, profile);
        } else if (const ProfileField *field = FindField(path, name)) {
            SetFieldText(*field, profile, ReadValue(*field, node));
        } else {
            throw ProfileError{int(key.source().begin.line),
                               path.isEmpty() ? QStringLiteral("unknown key \"%1\" (%2)").arg(name, KnownKeys(path))
                                              : QStringLiteral("unknown key \"%1\" in [%2] (%3)").arg(name, path, KnownKeys(path))};
        }
    }
}

// The dialog never lets both convert boxes be ticked: each disables the other.
void CheckConvert(const toml::table &root, const Profile &profile)
{
    if (profile.connection.iso == CheckOn && profile.connection.eia == CheckOn) {
        const toml::node *eia = root.at_path("connection.packet.eia").node();
        throw ProfileError{eia ? LineOf(*eia) : 1, QStringLiteral("iso and eia cannot both be true")};
    }
}

// A basic TOML string: quotes, backslashes and control characters escaped.
QString TomlString(const QString &text)
{
    constexpr char16_t kDelete = 0x7f;
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'"': out += QStringLiteral("\\\""); break;
        case u'\\': out += QStringLiteral("\\\\"); break;
        case u'\b': out += QStringLiteral("\\b"); break;
        case u'\t': out += QStringLiteral("\\t"); break;
        case u'\n': out += QStringLiteral("\\n"); break;
        case u'\f': out += QStringLiteral("\\f"); break;
        case u'\r': out += QStringLiteral("\\r"); break;
        default:
            if (c.unicode() < u' ' || c.unicode() == kDelete)
                out += QStringLiteral("\\u%1").arg(int(c.unicode()), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out + u'"';
}

QString Comment(const char *text)
{
    return QStringLiteral("# ") + QString::fromUtf8(text).replace(u'\n', QStringLiteral("\n# ")) + u'\n';
}

// A key's comment: what it sets and what it takes, wrapped between list entries so that a
// long list stays readable.
QString KeyComment(const ProfileField &field)
{
    constexpr qsizetype kWidth = 96;
    const QString separator = QStringLiteral(", ");
    const QStringList pieces = QStringLiteral("%1 (%2)").arg(QLatin1String(field.comment), Takes(field)).split(separator);
    QString out = QStringLiteral("#");
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const QString piece = pieces[i] + (i + 1 < pieces.size() ? separator.trimmed() : QString());
        if (i > 0 && out.size() - lineStart + 1 + piece.size() > kWidth) {
            out += QStringLiteral("\n#  ");
            lineStart = out.size() - 3;
        }
        out += u' ' + piece;
    }
    return out + u'\n';
}

// The value as TOML, or ProfileError (line 0) for one that the reader would refuse.
QString WrittenValue(const ProfileField &field, const QString &text)
{
    const auto refuse = [&] {
        return ProfileError{0, QStringLiteral("%1.%2 \"%3\" is not %4").arg(QLatin1String(field.table), QLatin1String(field.key), text, Takes(field))};
    };
    switch (field.kind) {
    case Kind::Text: return TomlString(text);
    case Kind::Flag: return text;
    case Kind::Whole: {
        bool ok = false;
        const qint64 value = text.toLongLong(&ok);
        if (!ok || QString::number(value) != text || value < field.min || value > field.max)
            throw refuse();
        return text;
    }
    case Kind::Choice:
        if (!field.choices.contains(text))
            throw refuse();
        return field.wholeChoices ? text : TomlString(text);
    }
    throw refuse();
}

} // namespace

std::optional<Profile> ParseProfile(const QByteArray &bytes, const QString &path, QString *error)
{
    try {
        if (const std::optional<int> line = FindDeepTomlNesting(bytes, kMaxProfileNesting))
            throw ProfileError{*line, QStringLiteral("keys, tables and arrays nest more than %1 deep").arg(kMaxProfileNesting)};
        const toml::table root = toml::parse(std::string_view(bytes.constData(), std::size_t(bytes.size())));
        Profile profile;
        ReadTable(root, {}, profile);
        CheckConvert(root, profile);
        return profile;
    } catch (const toml::parse_error &e) {
        *error = QStringLiteral("%1:%2: %3").arg(path).arg(e.source().begin.line).arg(Name(e.description()));
    } catch (const ProfileError &e) {
        *error = QStringLiteral("%1:%2: %3").arg(path).arg(e.line).arg(e.what);
    }
    return std::nullopt;
}

std::optional<Profile> LoadProfile(const QString &path, QString *error)
{
    QString why;
    const std::optional<QByteArray> bytes = ReadBoundedFile(path, &why, kMaxProfileBytes);
    if (!bytes) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return std::nullopt;
    }
    return ParseProfile(*bytes, path, error);
}

std::optional<QByteArray> ProfileText(const Profile &profile, QString *error)
{
    Profile copy = profile; // the fields reach their settings through non-const references
    QString text = QStringLiteral(
        "# KEL Tester profile: the settings of the windows, for Tools > Open Profile... or\n"
        "# KELTester --profile FILE. A key left out keeps the window's default.\n");
    try {
        for (const ProfileTable &table : ProfileTables()) {
            text += u'\n' + Comment(table.comment) + QStringLiteral("[%1]\n").arg(QLatin1String(table.name));
            for (const ProfileField &field : ProfileFields()) {
                if (qstrcmp(field.table, table.name) != 0)
                    continue;
                const QString value = WrittenValue(field, FieldText(field, copy));
                text += KeyComment(field) + QStringLiteral("%1 = %2\n").arg(QLatin1String(field.key), value);
            }
        }
    } catch (const ProfileError &e) {
        *error = e.what;
        return std::nullopt;
    }
    return text.toUtf8();
}

bool SaveProfile(const QString &path, const Profile &profile, QString *error)
{
    QString why;
    const std::optional<QByteArray> text = ProfileText(profile, &why);
    if (!text) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(*text) != text->size() || !file.commit()) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
