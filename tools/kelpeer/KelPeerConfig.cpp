#include "KelPeerConfig.h"

namespace {

bool readCount(const QString &text, int min, int *out)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < min)
        return false;
    *out = value;
    return true;
}

} // namespace

QString KelPeerUsage()
{
    return QStringLiteral(
        "usage: kelpeer --option \"<option string>\" [--delay MS] [--fail PREFIX]... [--verbose]\n"
        "               [--send TEXT [--count N] [--interval MS] [--no-wait]] [--help]\n"
        "Without --send it plays the device: START/STOP answer 0, PUT stores, GET returns.\n"
        "With --send it plays the host: sends TEXT N times and prints each answer as \"= text\",\n"
        "and a frame that answers no request as \"~ text\"; exit status 1 when answers are missing.\n"
        "Prints \"ready <address>\" once open; with --verbose \"< text\" and \"> text\" per frame.\n"
        "Control characters in a text are written as escapes (\\n, \\xHH, ...): one line per frame.\n");
}

KelPeerArgs ParseKelPeerArgs(const QStringList &args)
{
    KelPeerArgs result;
    KelPeerConfig &config = result.config;
    bool haveOption = false;
    bool haveCount = false;
    bool haveInterval = false;
    auto usage = [&result](const QString &error) {
        result.outcome = KelPeerArgs::Usage;
        result.error = error;
        return result;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        auto value = [&](QString *out) {
            if (i + 1 >= args.size())
                return false;
            *out = args.at(++i);
            return true;
        };
        QString text;
        if (arg == QLatin1String("--help")) {
            result.outcome = KelPeerArgs::Help;
            return result;
        } else if (arg == QLatin1String("--verbose")) {
            config.verbose = true;
        } else if (arg == QLatin1String("--no-wait")) {
            config.noWait = true;
        } else if (arg == QLatin1String("--option")) {
            if (!value(&config.option))
                return usage(QStringLiteral("--option needs the option string"));
            haveOption = true;
        } else if (arg == QLatin1String("--fail")) {
            if (!value(&text) || text.isEmpty())
                return usage(QStringLiteral("--fail needs a request prefix"));
            config.failPrefixes << text;
        } else if (arg == QLatin1String("--send")) {
            if (!value(&text))
                return usage(QStringLiteral("--send needs a text"));
            config.sendText = text;
        } else if (arg == QLatin1String("--delay")) {
            if (!value(&text) || !readCount(text, 0, &config.delayMs))
                return usage(QStringLiteral("--delay needs a number of milliseconds"));
        } else if (arg == QLatin1String("--count")) {
            if (!value(&text) || !readCount(text, 1, &config.count))
                return usage(QStringLiteral("--count needs a number of at least 1"));
            haveCount = true;
        } else if (arg == QLatin1String("--interval")) {
            if (!value(&text) || !readCount(text, 0, &config.intervalMs))
                return usage(QStringLiteral("--interval needs a number of milliseconds"));
            haveInterval = true;
        } else {
            return usage(QStringLiteral("unknown argument \"%1\"").arg(arg));
        }
    }
    if (!haveOption)
        return usage(QStringLiteral("--option is required"));
    if (!config.sendText && (haveCount || haveInterval || config.noWait))
        return usage(QStringLiteral("--count, --interval and --no-wait go with --send"));
    result.outcome = KelPeerArgs::Run;
    return result;
}
