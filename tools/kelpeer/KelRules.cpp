#include "KelRules.h"

#include "BoundedFile.h"
#include "KelAnswer.h"
#include "MivConverter.h"
#include "MivError.h"
#include "TomlError.h"
#include "TomlNesting.h"

#include <QRegularExpression>

#include <string_view>

namespace {

constexpr int kMaxDelayMs = 3600 * 1000;
constexpr int kMaxSplitParts = 64;
const QRegularExpression kPlaceholder(QStringLiteral("\\{([^}]*)\\}"));
const QStringList kPlaceholders{"value", "request", "command", "part", "number", "sub", "param"};
const QStringList kCommands{"START", "STOP", "PUT", "GET"};
const QRegularExpression kValueKey(QStringLiteral("^[^:]+:[^:]+:[^:]+$"));

QString TextOf(const toml::node &node, const QString &key)
{
    const auto text = node.value<std::string>();
    if (!text || !node.is_string())
        throw TomlError{TomlLine(node), QStringLiteral("%1 must be a text in quotes").arg(key)};
    return QString::fromStdString(*text);
}

int MsOf(const toml::node &node, const QString &key)
{
    const auto ms = node.value_exact<std::int64_t>();
    if (!node.is_integer() || !ms || *ms < 0 || *ms > kMaxDelayMs)
        throw TomlError{TomlLine(node), QStringLiteral("%1 must be whole milliseconds from 0 to %2").arg(key).arg(kMaxDelayMs)};
    return int(*ms);
}

void ReadDelay(const toml::node &node, KelRule &rule)
{
    if (const toml::array *range = node.as_array()) {
        if (range->size() != 2)
            throw TomlError{TomlLine(node), QStringLiteral("delay must be milliseconds or a range [min, max]")};
        rule.delayMinMs = MsOf(*range->get(0), QStringLiteral("delay"));
        rule.delayMaxMs = MsOf(*range->get(1), QStringLiteral("delay"));
        if (rule.delayMinMs > rule.delayMaxMs)
            throw TomlError{TomlLine(node), QStringLiteral("delay range [%1, %2] runs backwards").arg(rule.delayMinMs).arg(rule.delayMaxMs)};
        return;
    }
    rule.delayMinMs = rule.delayMaxMs = MsOf(node, QStringLiteral("delay"));
}

qint32 ErrorOf(const toml::node &node)
{
    if (node.is_string()) {
        const QString name = TextOf(node, QStringLiteral("error"));
        if (const auto code = KelHresultOfName(name); code && *code < 0)
            return *code;
        throw TomlError{TomlLine(node), QStringLiteral("error \"%1\" is not a known HRESULT name").arg(name)};
    }
    const auto code = node.value_exact<std::int64_t>();
    if (!node.is_integer() || !code || *code >= 0 || *code < INT32_MIN)
        throw TomlError{TomlLine(node), QStringLiteral("error must be a negative HRESULT (-2147467259) or a name (\"E_FAIL\")")};
    return qint32(*code);
}

KelFault FaultOf(const toml::node &node)
{
    const QString name = TextOf(node, QStringLiteral("fault"));
    if (name == u"none")
        return KelFault::None;
    if (name == u"no-answer")
        return KelFault::NoAnswer;
    if (name == u"garble")
        return KelFault::Garble;
    if (name == u"split")
        return KelFault::Split;
    throw TomlError{TomlLine(node), QStringLiteral("unknown fault \"%1\" (none, no-answer, garble or split)").arg(name)};
}

void CheckPlaceholders(const toml::node &node, const QString &answer)
{
    for (auto it = kPlaceholder.globalMatch(answer); it.hasNext();) {
        const QString name = it.next().captured(1);
        if (!kPlaceholders.contains(name))
            throw TomlError{TomlLine(node), QStringLiteral("answer has an unknown placeholder {%1}").arg(name)};
    }
}

KelRule ReadRule(const toml::table &table)
{
    KelRule rule;
    rule.line = TomlLine(table);
    int splitLine = 0; // where split_parts or split_gap is
    for (const auto &[key, node] : table) {
        const QString name = TomlText(key.str());
        if (name == u"command") {
            rule.command = TextOf(node, name);
            if (!kCommands.contains(*rule.command))
                throw TomlError{TomlLine(node), QStringLiteral("unknown command \"%1\" (START, STOP, PUT or GET; "
                                                             "match takes any other request)")
                                                  .arg(*rule.command)};
        }
        else if (name == u"part")
            rule.part = TextOf(node, name);
        else if (name == u"number")
            rule.number = node.is_integer() ? QString::number(*node.value_exact<std::int64_t>()) : TextOf(node, name);
        else if (name == u"sub")
            rule.sub = TextOf(node, name);
        else if (name == u"match") {
            DecidedRegex re(TextOf(node, name));
            if (!re.isValid())
                throw TomlError{TomlLine(node), QStringLiteral("match is not a valid regular expression: %1 at offset %2")
                                                  .arg(re.errorString())
                                                  .arg(re.errorOffset())};
            rule.match = re;
        } else if (name == u"answer") {
            rule.answer = TextOf(node, name);
            CheckPlaceholders(node, *rule.answer);
        } else if (name == u"delay")
            ReadDelay(node, rule);
        else if (name == u"error_rate") {
            const auto rate = node.value<double>();
            if (!node.is_number() || !rate || !(*rate >= 0 && *rate <= 1)) // NaN too
                throw TomlError{TomlLine(node), QStringLiteral("error_rate must be a number from 0 to 1")};
            rule.errorRate = *rate;
        } else if (name == u"error")
            rule.error = ErrorOf(node);
        else if (name == u"fault")
            rule.fault = FaultOf(node);
        else if (name == u"split_parts") {
            splitLine = TomlLine(node);
            const auto parts = node.value_exact<std::int64_t>();
            if (!node.is_integer() || !parts || *parts < 2 || *parts > kMaxSplitParts)
                throw TomlError{TomlLine(node), QStringLiteral("split_parts must be from 2 to %1").arg(kMaxSplitParts)};
            rule.splitParts = int(*parts);
        } else if (name == u"split_gap") {
            splitLine = splitLine ? splitLine : TomlLine(node);
            rule.splitGapMs = MsOf(node, name);
        }
        else if (name == u"close_after") {
            const auto n = node.value_exact<std::int64_t>();
            if (!node.is_integer() || !n || *n < 1 || *n > INT32_MAX)
                throw TomlError{TomlLine(node), QStringLiteral("close_after must be a number of requests of at least 1")};
            rule.closeAfter = int(*n);
        } else
            throw TomlError{TomlLine(key), QStringLiteral("unknown key \"%1\" in a rule").arg(name)};
    }
    if (splitLine && rule.fault != KelFault::Split)
        throw TomlError{splitLine, QStringLiteral("split_parts and split_gap go with fault = \"split\"")};
    return rule;
}

KelRuleSet ReadRuleSet(const toml::table &root)
{
    KelRuleSet set;
    for (const auto &[key, node] : root) {
        const QString name = TomlText(key.str());
        if (name == u"values") {
            const toml::table *values = node.as_table();
            if (!values)
                throw TomlError{TomlLine(node), QStringLiteral("values must be a table of \"part:number:sub\" = \"value text\"")};
            for (const auto &[valueKey, valueNode] : *values) {
                const QString text = TextOf(valueNode, TomlText(valueKey.str()));
                if (!kValueKey.match(TomlText(valueKey.str())).hasMatch())
                    throw TomlError{TomlLine(valueKey),
                                    QStringLiteral("value key \"%1\" is not \"part:number:sub\"").arg(TomlText(valueKey.str()))};
                try {
                    const MivConverter converter;
                    set.values.append({TomlText(valueKey.str()), converter.ValueToText(converter.TextToValue(text))});
                } catch (const MivError &e) {
                    throw TomlError{TomlLine(valueNode), e.description()};
                }
            }
        } else if (name == u"rule") {
            const toml::array *rules = node.as_array();
            if (!rules || !rules->is_array_of_tables())
                throw TomlError{TomlLine(node), QStringLiteral("rules are written [[rule]]")};
            for (const toml::node &rule : *rules)
                set.rules.append(ReadRule(*rule.as_table()));
        } else {
            throw TomlError{TomlLine(key), QStringLiteral("unknown key \"%1\" (values or [[rule]])").arg(name)};
        }
    }
    return set;
}

} // namespace

KelRequestFields KelRequestFields::of(const QString &request)
{
    const QStringList parts = request.split(u':');
    KelRequestFields f;
    f.command = parts.value(0);
    f.part = parts.value(1);
    f.number = parts.value(2);
    f.sub = parts.value(3);
    f.param = parts.size() > 4 ? QStringList(parts.mid(4)).join(u':') : QString();
    return f;
}

bool KelRule::matches(const QString &request, const KelRequestFields &f, QString *undecided) const
{
    if ((command && *command != f.command) || (part && *part != f.part) || (number && *number != f.number)
        || (sub && *sub != f.sub))
        return false;
    if (!match)
        return true;
    const DecidedRegex::Result result = match->match(request);
    if (result.outcome == DecidedRegex::Outcome::Undecided)
        *undecided = result.why;
    return result.outcome == DecidedRegex::Outcome::Match;
}

qsizetype KelRuleSet::find(const QString &request, const KelRequestFields &fields, QStringList *undecided) const
{
    for (qsizetype i = 0; i < rules.size(); ++i) {
        QString why;
        if (rules.at(i).matches(request, fields, &why))
            return i;
        if (!why.isEmpty())
            *undecided << QStringLiteral("kelpeer: %1:%2: match could not be decided on a request of %3 characters (%4); "
                                         "the rule is passed over")
                              .arg(path)
                              .arg(rules.at(i).line)
                              .arg(request.size())
                              .arg(why);
    }
    return -1;
}

std::optional<KelRuleSet> LoadKelRules(const QString &path, QString *error)
{
    QString why;
    const std::optional<QByteArray> bytes = ReadBoundedFile(path, &why);
    if (!bytes) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return std::nullopt;
    }
    if (const std::optional<int> line = FindDeepTomlNesting(*bytes)) {
        *error = QStringLiteral("%1:%2: keys, tables and arrays nest more than %3 deep")
                     .arg(path)
                     .arg(*line)
                     .arg(kMaxTomlNesting);
        return std::nullopt;
    }
    try {
        const toml::table root = toml::parse(std::string_view(bytes->constData(), std::size_t(bytes->size())));
        KelRuleSet set = ReadRuleSet(root);
        set.path = path;
        return set;
    } catch (const toml::parse_error &e) {
        *error = TomlErrorText(path, e);
    } catch (const TomlError &e) {
        *error = TomlErrorText(path, e);
    }
    return std::nullopt;
}

QString FillAnswer(const QString &answer, const QString &request, const KelRequestFields &f, const QString &storedValue)
{
    QString out;
    qsizetype at = 0;
    for (auto it = kPlaceholder.globalMatch(answer); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(answer).sliced(at, m.capturedStart() - at);
        const QString name = m.captured(1);
        out += name == u"value"     ? storedValue
               : name == u"request" ? request
               : name == u"command" ? f.command
               : name == u"part"    ? f.part
               : name == u"number"  ? f.number
               : name == u"sub"     ? f.sub
                                    : f.param;
        at = m.capturedEnd();
    }
    return out + answer.mid(at);
}

QString GarbleAnswer(const QString &answer)
{
    QString out = QStringLiteral("~");
    for (qsizetype i = answer.size() - 1; i >= 0; --i)
        out += answer.at(i);
    return out;
}
