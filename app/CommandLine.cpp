#include "CommandLine.h"

#include <QCommandLineParser>

#include <algorithm>

namespace {

// This program's options, in the order the help lists them.
struct OptionText
{
    QStringList names;
    QString valueName; // empty: a flag
    QString description;
};

const QList<OptionText> &Options()
{
    static const QList<OptionText> options = {
        {{QStringLiteral("h"), QStringLiteral("help")}, {}, QStringLiteral("print this help and exit")},
        {{QStringLiteral("version")}, {}, QStringLiteral("print the version and exit")},
        {{QStringLiteral("profile")}, QStringLiteral("FILE"),
         QStringLiteral("start with the settings saved in this profile")},
    };
    return options;
}

// QApplication's own options, taken here so that they are not refused, and left for it.
const QStringList kQtValueOptions = {
    QStringLiteral("platform"), QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
    QStringLiteral("plugin"),   QStringLiteral("qwindowgeometry"),    QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"), QStringLiteral("display"),       QStringLiteral("geometry"),
    QStringLiteral("style"),    QStringLiteral("stylesheet"),         QStringLiteral("session")};
const QStringList kQtFlags = {QStringLiteral("reverse"), QStringLiteral("nograb"), QStringLiteral("dograb"),
                              QStringLiteral("sync"), QStringLiteral("widgetcount")};

QString OptionColumn(const OptionText &option)
{
    QStringList names;
    for (const QString &name : option.names)
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString column = names.join(QStringLiteral(", "));
    if (!option.valueName.isEmpty())
        column += u' ' + option.valueName;
    return column;
}

QString HelpText()
{
    qsizetype width = 0;
    for (const OptionText &option : Options())
        width = std::max(width, OptionColumn(option).size());
    QString text = QStringLiteral(
        "Usage: KELTester [OPTION]...\n"
        "Opens KEL Tester's main window: send KEL commands to a peer device over a serial line\n"
        "or TCP, answer its requests, and check its performance. Every setting is chosen in\n"
        "the windows, or read from a profile saved with Tools > Save Profile.\n\n");
    for (const OptionText &option : Options())
        text += QStringLiteral("  ") + OptionColumn(option).leftJustified(width + 2) + option.description + u'\n';
    text += QStringLiteral(
        "\nQt's own options (-platform NAME, -style NAME, ...) are passed on to Qt.\n"
        "Exit status: 0 when the main window has closed, or after --help or --version;\n"
        "1 when the main window cannot be opened or the profile is refused; 2 for a bad option.\n");
    return text;
}

} // namespace

CommandLine ReadCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions); // -platform name
    for (const OptionText &option : Options())
        parser.addOption(QCommandLineOption(option.names, option.description, option.valueName));
    for (const QString &name : kQtValueOptions) {
        QCommandLineOption qt(name, {}, QStringLiteral("value"));
        qt.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qt);
    }
    for (const QString &name : kQtFlags) {
        QCommandLineOption qt(name);
        qt.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qt);
    }

    if (!parser.parse(arguments))
        return {CommandLine::Action::Refuse, parser.errorText(), {}};
    if (!parser.positionalArguments().isEmpty())
        return {CommandLine::Action::Refuse,
                QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().constFirst()), {}};
    if (parser.isSet(QStringLiteral("help")))
        return {CommandLine::Action::Answer, HelpText(), {}};
    if (parser.isSet(QStringLiteral("version")))
        return {CommandLine::Action::Answer, QStringLiteral("KELTester " KEL_VERSION "\n"), {}};
    CommandLine start;
    start.profile = parser.value(QStringLiteral("profile"));
    return start;
}
