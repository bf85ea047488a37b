#include "KelPeerConfig.h"

#include "KelOptions.h"
#include "MivError.h"

#include <QMap>

#include <cmath>

namespace {

enum class Role { Any, Device, Host, Plain, Load, Plan, PlanFrom, Monitor };

struct OptionSpec
{
    const char *name;
    bool takesValue;
    bool repeatable;
    Role role;
};

constexpr OptionSpec kOptions[] = {
    {"--option", true, false, Role::Any},       {"--verbose", false, false, Role::Any},
    {"--delay", true, false, Role::Device},      {"--fail", true, true, Role::Device},
    {"--rules", true, false, Role::Device},      {"--replay", true, false, Role::Device},
    {"--replay-delays", false, false, Role::Device},
    {"--send", true, true, Role::Host},         {"--count", true, false, Role::Host},
    {"--wait-client", true, false, Role::Host},  {"--interval", true, false, Role::Plain},
    {"--no-wait", false, false, Role::Plain},    {"--clients", true, false, Role::Load},
    {"--pipeline", true, false, Role::Load},     {"--rate", true, false, Role::Load},
    {"--duration", true, false, Role::Load},     {"--json", true, false, Role::Load},
    {"--max-p99", true, false, Role::Load},      {"--max-errors", true, false, Role::Load},
    {"--plan", true, false, Role::Plan},         {"--junit", true, false, Role::Plan},
    {"--plan-from", true, false, Role::PlanFrom}, {"--within-factor", true, false, Role::PlanFrom},
    {"--monitor", true, false, Role::Monitor},   {"--record", true, false, Role::Monitor},
    {"--reconnect", false, false, Role::Any},
};

constexpr int kMaxClients = 1000;
constexpr int kMaxPipeline = 1000;
constexpr double kMsPerSecond = 1000.0;
constexpr double kMaxSeconds = 24 * 3600.0; // a day: longer would overflow the timers

bool anyGiven(const QMap<QString, QStringList> &given, Role role)
{
    for (const OptionSpec &spec : kOptions) {
        if (spec.role == role && given.contains(QLatin1String(spec.name)))
            return true;
    }
    return false;
}

const OptionSpec *findOption(const QString &name)
{
    for (const OptionSpec &spec : kOptions) {
        if (name == QLatin1String(spec.name))
            return &spec;
    }
    return nullptr;
}

bool readInt(const QString &text, qint64 min, qint64 max, qint64 *out)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < min || value > max)
        return false;
    *out = value;
    return true;
}

bool readNumber(const QString &text, double min, double max, double *out)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < min || value > max)
        return false;
    *out = value;
    return true;
}

// The values given on the command line, by option name, in order.
using Given = QMap<QString, QStringList>;

// Turns the given values into the config; an empty string when all are good.
QString readValues(const Given &given, KelPeerConfig &config)
{
    qint64 whole = 0;
    double number = 0;
    auto one = [&given](const char *name) { return given.value(QLatin1String(name)).value(0); };
    auto has = [&given](const char *name) { return given.contains(QLatin1String(name)); };

    config.option = one("--option");
    config.verbose = has("--verbose");
    config.reconnect = has("--reconnect");
    config.failPrefixes = given.value(QStringLiteral("--fail"));
    for (const QString &prefix : config.failPrefixes) {
        if (prefix.isEmpty())
            return QStringLiteral("--fail needs a request prefix");
    }
    config.rulesPath = one("--rules");
    config.replayPath = one("--replay");
    config.replayDelays = has("--replay-delays");
    config.sendTexts = given.value(QStringLiteral("--send"));
    config.noWait = has("--no-wait");
    config.jsonPath = one("--json");
    config.monitorOption = one("--monitor");
    config.recordPath = one("--record");
    if (has("--monitor") && config.monitorOption.isEmpty())
        return QStringLiteral("--monitor needs the device side's option string");
    if (has("--record") && config.recordPath.isEmpty())
        return QStringLiteral("--record needs a file name");
    if (has("--delay")) {
        if (!readInt(one("--delay"), 0, INT_MAX, &whole))
            return QStringLiteral("--delay needs a number of milliseconds");
        config.delayMs = int(whole);
    }
    if (has("--count")) {
        if (!readInt(one("--count"), 1, INT_MAX, &whole))
            return QStringLiteral("--count needs a number of at least 1");
        config.count = int(whole);
        config.countGiven = true;
    }
    if (has("--interval")) {
        if (!readInt(one("--interval"), 0, INT_MAX, &whole))
            return QStringLiteral("--interval needs a number of milliseconds");
        config.intervalMs = int(whole);
    }
    if (has("--wait-client")) {
        if (!readNumber(one("--wait-client"), 0, kMaxSeconds, &number))
            return QStringLiteral("--wait-client needs a number of seconds");
        config.waitClientMs = int(std::lround(number * kMsPerSecond));
    }
    if (has("--clients")) {
        if (!readInt(one("--clients"), 1, kMaxClients, &whole))
            return QStringLiteral("--clients needs a number from 1 to %1").arg(kMaxClients);
        config.clients = int(whole);
    }
    if (has("--pipeline")) {
        if (!readInt(one("--pipeline"), 1, kMaxPipeline, &whole))
            return QStringLiteral("--pipeline needs a number from 1 to %1").arg(kMaxPipeline);
        config.pipeline = int(whole);
    }
    if (has("--rate")) {
        if (!readNumber(one("--rate"), 0, 1e9, &number) || number <= 0)
            return QStringLiteral("--rate needs a number of requests per second above 0");
        config.rate = number;
    }
    if (has("--duration")) {
        if (!readNumber(one("--duration"), 0, kMaxSeconds, &number) || number <= 0)
            return QStringLiteral("--duration needs a number of seconds above 0");
        config.durationMs = int(std::lround(number * kMsPerSecond));
    }
    if (has("--max-p99")) {
        if (!readNumber(one("--max-p99"), 0, kMaxSeconds * kMsPerSecond, &number))
            return QStringLiteral("--max-p99 needs a number of milliseconds");
        config.maxP99Ms = number;
    }
    config.planPath = one("--plan");
    config.junitPath = one("--junit");
    config.planFromPath = one("--plan-from");
    if (has("--within-factor")) {
        if (!readNumber(one("--within-factor"), 0, 1e6, &number) || number <= 0)
            return QStringLiteral("--within-factor needs a number above 0");
        config.withinFactor = number;
    }
    if (has("--max-errors")) {
        if (!readInt(one("--max-errors"), 0, LLONG_MAX, &whole))
            return QStringLiteral("--max-errors needs a number of at least 0");
        config.maxErrors = whole;
    }
    return {};
}

// A plan run takes the connection, its report files and --wait-client; a plan made from a record
// takes only --within-factor.
QString checkPlanRoles(const Given &given)
{
    const bool plan = given.contains(QStringLiteral("--plan"));
    const bool from = given.contains(QStringLiteral("--plan-from"));
    for (const OptionSpec &spec : kOptions) {
        const QString name = QLatin1String(spec.name);
        if (!given.contains(name))
            continue;
        if (from && spec.role != Role::PlanFrom)
            return QStringLiteral("%1 does nothing with --plan-from (it writes a plan and connects to nothing)").arg(name);
        const bool planOption = spec.role == Role::Any || spec.role == Role::Plan || name == u"--json" || name == u"--wait-client";
        if (plan && !planOption)
            return QStringLiteral("%1 does nothing with --plan").arg(name);
        if (!plan && spec.role == Role::Plan)
            return QStringLiteral("%1 goes with --plan").arg(name);
        if (!from && spec.role == Role::PlanFrom)
            return QStringLiteral("%1 goes with --plan-from").arg(name);
    }
    return {};
}

// An option that would do nothing in the role the others choose is refused.
QString checkRoles(const Given &given, const KelPeerConfig &config)
{
    const bool planRole = anyGiven(given, Role::Plan) || anyGiven(given, Role::PlanFrom);
    if (const QString error = planRole ? checkPlanRoles(given) : QString(); !error.isEmpty())
        return error;
    const bool host = given.contains(QStringLiteral("--send"));
    const bool load = anyGiven(given, Role::Load);
    const bool monitor = given.contains(QStringLiteral("--monitor"));
    for (const OptionSpec &spec : kOptions) {
        const QString name = QLatin1String(spec.name);
        if (!given.contains(name) || planRole)
            continue;
        if (monitor && spec.role != Role::Monitor && name != QLatin1String("--option") && name != QLatin1String("--reconnect"))
            return QStringLiteral("%1 does nothing with --monitor").arg(name);
        if (spec.role == Role::Monitor && !monitor)
            return QStringLiteral("%1 goes with --monitor").arg(name);
        if (spec.role == Role::Device && host)
            return QStringLiteral("%1 does nothing with --send (it shapes the device's answers)").arg(name);
        if ((spec.role == Role::Host || spec.role == Role::Plain || spec.role == Role::Load) && !host)
            return QStringLiteral("%1 does nothing without --send").arg(name);
        if (spec.role == Role::Plain && load)
            return QStringLiteral("%1 does not go with the load options (--clients, --pipeline, --rate, "
                                  "--duration, --json, --max-p99, --max-errors)")
                .arg(name);
    }
    if (config.countGiven && config.durationMs)
        return QStringLiteral("--count and --duration cannot both be given");
    if (config.replayDelays && config.replayPath.isEmpty())
        return QStringLiteral("--replay-delays goes with --replay");
    if (config.reconnect && load)
        return QStringLiteral("--reconnect does not go with the load options (their clients connect again on their own)");
    // What the option string says about the role; a bad one is refused later, when opening.
    try {
        const KelConnKind kind = ParseKelOptions(config.option).kind;
        if (config.waitClientMs && kind != KelConnKind::TcpServer)
            return QStringLiteral("--wait-client does nothing on a client or serial option string");
        if (config.reconnect && !config.isMonitor() && kind == KelConnKind::TcpServer)
            return QStringLiteral("--reconnect does nothing on a server option string (a server keeps listening)");
        if (config.clients > 1 && kind != KelConnKind::TcpClient)
            return QStringLiteral("--clients above 1 needs a TCP client option string (Conn=eth:<address>:<port>)");
    } catch (const MivError &) {
    }
    return {};
}

} // namespace

QString KelPeerVersion()
{
    return QStringLiteral("kelpeer " KEL_VERSION);
}

KelPeerArgs ParseKelPeerArgs(const QStringList &args)
{
    KelPeerArgs result;
    auto usage = [&result](const QString &error) {
        result.outcome = KelPeerArgs::Usage;
        result.error = error;
        return result;
    };
    Given given;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            result.outcome = KelPeerArgs::Help;
            return result;
        }
        if (arg == QLatin1String("--version")) {
            result.outcome = KelPeerArgs::Version;
            return result;
        }
        const qsizetype eq = arg.indexOf(u'=');
        const QString name = eq < 0 ? arg : arg.left(eq);
        const OptionSpec *spec = arg.startsWith(QLatin1String("--")) ? findOption(name) : nullptr;
        if (!spec)
            return usage(QStringLiteral("unknown argument \"%1\"").arg(arg));
        if (!spec->repeatable && given.contains(name))
            return usage(QStringLiteral("%1 is given more than once").arg(name));
        if (!spec->takesValue) {
            if (eq >= 0)
                return usage(QStringLiteral("%1 takes no value").arg(name));
            given[name];
            continue;
        }
        if (eq >= 0)
            given[name] << arg.mid(eq + 1);
        else if (i + 1 < args.size())
            given[name] << args.at(++i);
        else
            return usage(QStringLiteral("%1 needs a value").arg(name));
    }
    if (!given.contains(QStringLiteral("--option")) && !given.contains(QStringLiteral("--plan-from")))
        return usage(QStringLiteral("--option is required"));
    KelPeerConfig &config = result.config;
    QString error = readValues(given, config);
    if (error.isEmpty())
        error = checkRoles(given, config);
    if (!error.isEmpty())
        return usage(error);
    config.load = anyGiven(given, Role::Load) && !config.isPlan();
    if (config.load && !config.countGiven && !config.durationMs)
        config.count = config.clients; // one request per client
    result.outcome = KelPeerArgs::Run;
    return result;
}
