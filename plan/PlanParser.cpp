#include "PlanParser.h"

#include "BoundedFile.h"
#include "KelAnswer.h"
#include "TomlError.h"


#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <string_view>

namespace {

using namespace PlanLimits;

bool IsPlaceholderName(const QString &name)
{
    return PlanPlaceholders(u'{' + name + u'}') == QStringList{name};
}

// toml++ builds nested tables by recursion: a key of very many parts, or brackets nested very
// deep, must be refused before it parses. Counts dots and open brackets outside strings and
// comments, line by line.
void CheckNesting(const QByteArray &bytes)
{
    enum class In { Code, Basic, Literal, MultiBasic, MultiLiteral, Comment };
    In in = In::Code;
    int line = 1;
    int dots = 0;
    int depth = 0;
    const qsizetype n = bytes.size();
    auto triple = [&bytes, n](qsizetype i, char q) { return i + 2 < n && bytes[i] == q && bytes[i + 1] == q && bytes[i + 2] == q; };
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c == '\n') {
            ++line;
            dots = 0;
            if (in == In::Comment || in == In::Basic || in == In::Literal)
                in = In::Code; // a one-line string left open is toml++'s to report
            continue;
        }
        switch (in) {
        case In::Comment:
            break;
        case In::Basic:
        case In::MultiBasic:
            if (c == '\\')
                ++i;
            else if (c == '"' && (in == In::Basic || triple(i, '"'))) {
                i += in == In::Basic ? 0 : 2;
                in = In::Code;
            }
            break;
        case In::Literal:
        case In::MultiLiteral:
            if (c == '\'' && (in == In::Literal || triple(i, '\''))) {
                i += in == In::Literal ? 0 : 2;
                in = In::Code;
            }
            break;
        case In::Code:
            if (c == '#')
                in = In::Comment;
            else if (c == '"' || c == '\'') {
                const bool multi = triple(i, c);
                in = c == '"' ? (multi ? In::MultiBasic : In::Basic) : (multi ? In::MultiLiteral : In::Literal);
                i += multi ? 2 : 0;
            } else if (c == '.' && ++dots > kMaxKeyDots)
                throw TomlError{line, QStringLiteral("more than %1 dots on a line: a key of that many parts is not a plan's").arg(kMaxKeyDots)};
            else if ((c == '[' || c == '{') && ++depth > kMaxNesting)
                throw TomlError{line, QStringLiteral("brackets nested deeper than %1").arg(kMaxNesting)};
            else if ((c == ']' || c == '}') && depth > 0)
                --depth;
            break;
        }
    }
}

QString TextOf(const toml::node &node, std::string_view key)
{
    const toml::value<std::string> *text = node.as_string();
    if (!text)
        throw TomlError{TomlLine(node), QStringLiteral("%1 must be a text in quotes").arg(TomlText(key))};
    return TomlText(text->get());
}

int WholeOf(const toml::node &node, std::string_view key, int min, int max, const QString &unit)
{
    const auto value = node.value_exact<std::int64_t>();
    if (!node.is_integer() || !value || *value < min || *value > max)
        throw TomlError{TomlLine(node), QStringLiteral("%1 must be %2 from %3 to %4").arg(TomlText(key), unit).arg(min).arg(max)};
    return int(*value);
}

double MsOf(const toml::node &node, std::string_view key)
{
    const auto value = node.value<double>();
    if (!node.is_number() || !value || !(*value > 0) || *value > kMaxMs)
        throw TomlError{TomlLine(node), QStringLiteral("%1 must be milliseconds above 0, at most %2").arg(TomlText(key)).arg(kMaxMs)};
    return *value;
}

bool BoolOf(const toml::node &node, std::string_view key)
{
    if (!node.is_boolean())
        throw TomlError{TomlLine(node), QStringLiteral("%1 must be true or false").arg(TomlText(key))};
    return *node.value<bool>();
}

QString PlaceholderName(const toml::node &node, std::string_view key)
{
    const QString name = TextOf(node, key);
    if (!IsPlaceholderName(name))
        throw TomlError{TomlLine(node), QStringLiteral("%1 \"%2\" is not a name: a letter or _, then letters, digits, _ or -").arg(TomlText(key), name)};
    return name;
}

qint32 ErrorCodeOf(const toml::node &node, QString *written)
{
    if (node.is_string()) {
        *written = TextOf(node, "expect_error");
        if (const auto code = KelHresultOfName(*written); code && *code < 0)
            return *code;
        bool ok = false;
        const int code = written->toInt(&ok);
        if (ok && code < 0)
            return code;
        throw TomlError{TomlLine(node), QStringLiteral("expect_error \"%1\" is not a known HRESULT name").arg(*written)};
    }
    const auto code = node.value_exact<std::int64_t>();
    if (!node.is_integer() || !code || *code >= 0 || *code < INT32_MIN)
        throw TomlError{TomlLine(node), QStringLiteral("expect_error must be a negative HRESULT (-2147467259) or a name (\"E_FAIL\")")};
    *written = QString::number(*code);
    return qint32(*code);
}

void CheckPlaceholders(const toml::node &node, std::string_view key, const QString &text, const QSet<QString> &known)
{
    for (const QString &name : PlanPlaceholders(text)) {
        if (!known.contains(name))
            throw TomlError{TomlLine(node), QStringLiteral("%1 has an unknown placeholder {%2}").arg(TomlText(key), name)};
    }
}

class Reader
{
public:
    Plan read(const toml::table &root)
    {
        // Keys come in name order, not file order: the values go first, as steps use them.
        if (const toml::node *values = root.get("values"))
            readValues(*values);
        for (const auto &[key, node] : root) {
            const std::string_view name = key.str();
            if (name == "plan")
                readSettings(node);
            else if (name == "step") {
                const toml::array *steps = node.as_array();
                if (!steps || !steps->is_array_of_tables())
                    throw TomlError{TomlLine(node), QStringLiteral("steps are written [[step]]")};
                m_plan.steps.reserve(qsizetype(steps->size()));
                for (const toml::node &step : *steps)
                    m_plan.steps.append(readStep(*step.as_table()));
            } else if (name != "values")
                throw TomlError{TomlLine(key), QStringLiteral("unknown key \"%1\" (plan, values or [[step]])").arg(TomlText(name))};
        }
        return std::move(m_plan);
    }

private:
    void readSettings(const toml::node &node)
    {
        const toml::table *table = node.as_table();
        if (!table)
            throw TomlError{TomlLine(node), QStringLiteral("plan must be a table: [plan]")};
        for (const auto &[key, value] : *table) {
            const std::string_view name = key.str();
            if (name == "name")
                m_plan.name = TextOf(value, name);
            else if (name == "timeout")
                m_plan.timeoutMs = WholeOf(value, name, 1, kMaxMs, QStringLiteral("whole milliseconds"));
            else if (name == "stop_on_failure")
                m_plan.stopOnFailure = BoolOf(value, name);
            else
                throw TomlError{TomlLine(key),
                                QStringLiteral("unknown key \"%1\" in [plan] (name, timeout, stop_on_failure)").arg(TomlText(name))};
        }
    }

    void readValues(const toml::node &node)
    {
        const toml::table *table = node.as_table();
        if (!table)
            throw TomlError{TomlLine(node), QStringLiteral("values must be a table of name = \"text\"")};
        for (const auto &[key, value] : *table) {
            const QString name = TomlText(key.str());
            if (!IsPlaceholderName(name))
                throw TomlError{TomlLine(key),
                                QStringLiteral("value \"%1\" is not a name: a letter or _, then letters, digits, _ or -").arg(name)};
            m_plan.values.append({name, TextOf(value, key.str())});
            m_known.insert(name);
        }
    }

    void setJudge(PlanStep &step, PlanJudgeKind kind, const toml::node &node)
    {
        if (step.judge != PlanJudgeKind::Any)
            throw TomlError{TomlLine(node), QStringLiteral("a step takes at most one of expect, match and expect_error")};
        step.judge = kind;
    }

    PlanStep readStep(const toml::table &table)
    {
        PlanStep step;
        step.line = TomlLine(table);
        const toml::node *pause = nullptr;
        const toml::node *other = nullptr; // any key that a pause cannot have
        for (const auto &[key, node] : table) {
            const std::string_view name = key.str();
            if (name != "name" && name != "pause")
                other = &node;
            if (name == "name")
                step.name = TextOf(node, name);
            else if (name == "send") {
                step.send = TextOf(node, name);
                if (step.send.isEmpty())
                    throw TomlError{TomlLine(node), QStringLiteral("send must not be empty")};
                CheckPlaceholders(node, name, step.send, m_known);
            } else if (name == "expect") {
                setJudge(step, PlanJudgeKind::Expect, node);
                step.expect = TextOf(node, name);
                CheckPlaceholders(node, name, step.expect, m_known);
            } else if (name == "match") {
                setJudge(step, PlanJudgeKind::Match, node);
                step.expect = TextOf(node, name);
                step.regex = compiled(step.expect);
                if (!step.regex->isValid())
                    throw TomlError{TomlLine(node), QStringLiteral("match is not a valid regular expression: %1 at offset %2")
                                                      .arg(step.regex->errorString())
                                                      .arg(step.regex->errorOffset())};
            } else if (name == "expect_error") {
                setJudge(step, PlanJudgeKind::ExpectError, node);
                step.expectError = ErrorCodeOf(node, &step.expectErrorText);
            } else if (name == "within")
                step.withinMs = MsOf(node, name);
            else if (name == "repeat")
                step.repeat = WholeOf(node, name, 1, kMaxRepeat, QStringLiteral("a number of requests"));
            else if (name == "p99_within")
                step.p99WithinMs = MsOf(node, name);
            else if (name == "capture")
                step.capture = PlaceholderName(node, name);
            else if (name == "pause") {
                pause = &node;
                step.pauseMs = WholeOf(node, name, 0, kMaxMs, QStringLiteral("whole milliseconds"));
            } else
                throw TomlError{TomlLine(key),
                                QStringLiteral("unknown key \"%1\" in a step (name, send, expect, match, expect_error, "
                                               "within, repeat, p99_within, capture, pause)")
                                    .arg(TomlText(name))};
        }
        if (pause && other)
            throw TomlError{TomlLine(*other), QStringLiteral("a pause sends nothing: it takes no other key than name")};
        if (!pause && step.send.isEmpty())
            throw TomlError{step.line, QStringLiteral("a step needs send (or pause)")};
        // A capture names a value for the steps after this one.
        if (!step.capture.isEmpty())
            m_known.insert(step.capture);
        return step;
    }

    // Steps with the same pattern share its compiled form: compiling one costs far more than
    // a step's request, and a plan made from a record repeats a few patterns many times.
    const DecidedRegex &compiled(const QString &pattern)
    {
        auto found = m_regexes.constFind(pattern);
        if (found == m_regexes.cend())
            found = m_regexes.insert(pattern, DecidedRegex(pattern));
        return *found;
    }

    Plan m_plan;
    QSet<QString> m_known;
    QHash<QString, DecidedRegex> m_regexes;
};

// The reader's refusal in the plan's words, which name the bound in bytes; what they do not
// cover (a file that cannot be opened, or one that grew while it was read) keeps the reader's.
QString RefusalText(const QString &path, const QString &why)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("no such file");
    if (!info.isFile())
        return QStringLiteral("not a regular file");
    if (info.size() > kMaxUserFileBytes)
        return QStringLiteral("larger than %1 bytes").arg(kMaxUserFileBytes);
    return why;
}

} // namespace

std::optional<Plan> ParsePlan(const QByteArray &bytes, const QString &path, QString *error)
{
    try {
        CheckNesting(bytes);
        const toml::table root = toml::parse(std::string_view(bytes.constData(), std::size_t(bytes.size())));
        Plan plan = Reader().read(root);
        if (plan.name.isEmpty())
            plan.name = QFileInfo(path).fileName();
        return plan;
    } catch (const toml::parse_error &e) {
        *error = TomlErrorText(path, e);
    } catch (const TomlError &e) {
        *error = TomlErrorText(path, e);
    }
    return std::nullopt;
}

std::optional<Plan> LoadPlan(const QString &path, QString *error)
{
    QString why;
    const std::optional<QByteArray> bytes = ReadBoundedFile(path, &why);
    if (!bytes) {
        *error = QStringLiteral("%1: %2").arg(path, RefusalText(path, why));
        return std::nullopt;
    }
    return ParsePlan(*bytes, path, error);
}
