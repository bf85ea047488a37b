#include "ProfileFields.h"

#include "VariantTypes.h"

#include <limits>

namespace {

using Kind = ProfileField::Kind;

// The dialog keeps its COM port in a 16-bit variable and its other numbers in 32-bit ones.
constexpr qint64 kMaxComPort = std::numeric_limits<qint16>::max();
constexpr qint64 kMaxLong = std::numeric_limits<qint32>::max();
constexpr qint64 kMinLong = std::numeric_limits<qint32>::min();

const QString kTrue = QStringLiteral("true");
const QString kFalse = QStringLiteral("false");

QStringList ReplyTypeTexts()
{
    QStringList texts;
    for (const TypeListEntry &entry : VTTypeList())
        texts << entry.text;
    return texts;
}

ProfileField Make(const char *table, const char *key, const char *comment, Kind kind)
{
    ProfileField field;
    field.table = table;
    field.key = key;
    field.comment = comment;
    field.kind = kind;
    return field;
}

ProfileField Text(const char *table, const char *key, const char *comment, QString &(*text)(Profile &))
{
    ProfileField field = Make(table, key, comment, Kind::Text);
    field.text = text;
    return field;
}

ProfileField WholeText(const char *table, const char *key, const char *comment, QString &(*text)(Profile &),
                       qint64 max)
{
    ProfileField field = Make(table, key, comment, Kind::Whole);
    field.text = text;
    field.max = max;
    return field;
}

ProfileField Whole(const char *table, const char *key, const char *comment, int &(*number)(Profile &),
                   qint64 min, qint64 max)
{
    ProfileField field = Make(table, key, comment, Kind::Whole);
    field.number = number;
    field.min = min;
    field.max = max;
    return field;
}

ProfileField Check(const char *table, const char *key, const char *comment, int &(*number)(Profile &))
{
    ProfileField field = Make(table, key, comment, Kind::Flag);
    field.number = number;
    return field;
}

ProfileField Flag(const char *table, const char *key, const char *comment, bool &(*flag)(Profile &))
{
    ProfileField field = Make(table, key, comment, Kind::Flag);
    field.flag = flag;
    return field;
}

ProfileField Index(const char *table, const char *key, const char *comment, int &(*number)(Profile &),
                   const QStringList &choices, bool wholeChoices = false)
{
    ProfileField field = Make(table, key, comment, Kind::Choice);
    field.number = number;
    field.choices = choices;
    field.wholeChoices = wholeChoices;
    return field;
}

ProfileField Entry(const char *table, const char *key, const char *comment, QString &(*text)(Profile &),
                   const QStringList &choices, bool wholeChoices = false)
{
    ProfileField field = Make(table, key, comment, Kind::Choice);
    field.text = text;
    field.choices = choices;
    field.wholeChoices = wholeChoices;
    return field;
}

} // namespace

const QList<ProfileTable> &ProfileTables()
{
    static const QList<ProfileTable> tables{
        {"connection", "File > Connect: the connection dialog, and what happens when the profile is opened."},
        {"connection.serial", "The serial line (COM(Client), COM(Server))."},
        {"connection.ether", "The network (Ether(Client), Ether(Server))."},
        {"connection.packet", "Packet Option."},
        {"reply", "The main window's Reply panel: the automatic answer of a server."},
        {"performance", "The main window's Performance target, and the settings that the Performance\n"
                        "window starts from."},
    };
    return tables;
}

const QList<ProfileField> &ProfileFields()
{
    static const QList<ProfileField> fields{
        Index("connection", "type", "Connect Type", [](Profile &p) -> int & { return p.connection.connType; },
              {QStringLiteral("COM(Client)"), QStringLiteral("COM(Server)"), QStringLiteral("Ether(Client)"),
               QStringLiteral("Ether(Server)")}),
        WholeText("connection", "timeout", "Timeout", [](Profile &p) -> QString & { return p.connection.timeout; },
                  kMaxLong),
        Check("connection", "sync", "Sync: true waits for each answer", [](Profile &p) -> int & { return p.connection.sync; }),
        Flag("connection", "connected", "Connect as soon as the profile is opened; saved true while connected",
             [](Profile &p) -> bool & { return p.connected; }),
        Flag("connection", "reconnect", "Tools > Reconnect Automatically", [](Profile &p) -> bool & { return p.reconnect; }),

        WholeText("connection.serial", "com_port", "COM Port", [](Profile &p) -> QString & { return p.connection.comPort; },
                  kMaxComPort),
        Entry("connection.serial", "baud_rate", "Baud Rate", [](Profile &p) -> QString & { return p.connection.baudRate; },
              {QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
               QStringLiteral("57600"), QStringLiteral("115200")},
              true),
        Index("connection.serial", "parity", "Parity", [](Profile &p) -> int & { return p.connection.parity; },
              {QStringLiteral("NONE"), QStringLiteral("EVEN"), QStringLiteral("ODD")}),
        Index("connection.serial", "data_bits", "Data Bits", [](Profile &p) -> int & { return p.connection.dataBits; },
              {QStringLiteral("7"), QStringLiteral("8")}, true),
        Index("connection.serial", "stop_bits", "Stop Bits", [](Profile &p) -> int & { return p.connection.stopBits; },
              {QStringLiteral("1"), QStringLiteral("2")}, true),
        Check("connection.serial", "xon_xoff", "Flow: XOn/XOff", [](Profile &p) -> int & { return p.connection.xonXoff; }),
        Check("connection.serial", "hardware_control", "Flow: Hardware Control",
              [](Profile &p) -> int & { return p.connection.hwCtrl; }),

        Text("connection.ether", "ip_address", "IP Address of the peer (a client's)",
             [](Profile &p) -> QString & { return p.connection.ipAddress; }),
        WholeText("connection.ether", "port", "Port Number",
                  [](Profile &p) -> QString & { return p.connection.portNumber; }, kMaxLong),
        WholeText("connection.ether", "max_connections", "Max: connections a server takes",
                  [](Profile &p) -> QString & { return p.connection.connMax; }, kMaxLong),
        WholeText("connection.ether", "connection_timeout", "Timeout of a server's connections",
                  [](Profile &p) -> QString & { return p.connection.connTimeout; }, kMaxLong),
        Text("connection.ether", "my_ip", "MyIP: the own address, \"\" for any",
             [](Profile &p) -> QString & { return p.connection.myIP; }),
        Text("connection.ether", "my_ip_port", "MyIP Port: the own port, \"\" for any",
             [](Profile &p) -> QString & { return p.connection.myIPPort; }),

        Check("connection.packet", "iso", "Convert: ISO (not with eia)", [](Profile &p) -> int & { return p.connection.iso; }),
        Check("connection.packet", "eia", "Convert: EIA (not with iso)", [](Profile &p) -> int & { return p.connection.eia; }),
        Index("connection.packet", "header", "Header", [](Profile &p) -> int & { return p.connection.header; },
              {QStringLiteral("Nothing"), QStringLiteral("ENQ(0x05)")}),
        Index("connection.packet", "term", "Term", [](Profile &p) -> int & { return p.connection.term; },
              {QStringLiteral("CR"), QStringLiteral("LF"), QStringLiteral("CR+LF")}),
        WholeText("connection.packet", "escape", "Escape", [](Profile &p) -> QString & { return p.connection.escape; },
                  kMaxLong),

        Whole("reply", "hresult", "HRESULT of the answer", [](Profile &p) -> int & { return p.reply.hresult; }, kMinLong,
              kMaxLong),
        Entry("reply", "type", "Type of the value, \"(nothing)\" for none",
              [](Profile &p) -> QString & { return p.reply.type; }, ReplyTypeTexts()),
        Text("reply", "value", "Value", [](Profile &p) -> QString & { return p.reply.value; }),
        Whole("reply", "delay", "Delay", [](Profile &p) -> int & { return p.reply.delay; }, kMinLong, kMaxLong),

        Text("performance", "part_name", "Target: PartName", [](Profile &p) -> QString & { return p.target[0]; }),
        Text("performance", "part_number", "Target: PartNumber", [](Profile &p) -> QString & { return p.target[1]; }),
        Text("performance", "sub_command", "Target: SubCommand", [](Profile &p) -> QString & { return p.target[2]; }),
        Index("performance", "pattern", "Check Pattern: for a time, a number of times, or until Stop",
              [](Profile &p) -> int & { return p.performance.pattern; },
              {QStringLiteral("time"), QStringLiteral("count"), QStringLiteral("infinite")}),
        Whole("performance", "hours", "Time(H:M): hours", [](Profile &p) -> int & { return p.performance.hours; }, 0,
              PerfSettings::kMaxHours),
        Whole("performance", "minutes", "Time(H:M): minutes", [](Profile &p) -> int & { return p.performance.minutes; },
              0, PerfSettings::kMaxMinutes),
        Whole("performance", "count", "No. Times", [](Profile &p) -> int & { return p.performance.count; },
              PerfSettings::kMinCount, PerfSettings::kMaxCount),
        Index("performance", "mode", "Read / Write", [](Profile &p) -> int & { return p.performance.mode; },
              {QStringLiteral("read"), QStringLiteral("write"), QStringLiteral("write-read")}),
        Flag("performance", "check_data", "Check Data (write-read only)",
             [](Profile &p) -> bool & { return p.performance.dataCheck; }),
        Entry("performance", "value_type", "Type of the value written",
              [](Profile &p) -> QString & { return p.performance.valueType; }, ShortTypeList()),
        Text("performance", "value", "Value written", [](Profile &p) -> QString & { return p.performance.value; }),
        Flag("performance", "ignore_error", "Ignore Error", [](Profile &p) -> bool & { return p.performance.ignoreError; }),
        Flag("performance", "output_debug", "OutputDebugString value",
             [](Profile &p) -> bool & { return p.performance.outputDebug; }),
    };
    return fields;
}

QString FieldText(const ProfileField &field, Profile &profile)
{
    if (field.text)
        return field.text(profile);
    if (field.flag)
        return field.flag(profile) ? kTrue : kFalse;
    const int number = field.number(profile);
    switch (field.kind) {
    case Kind::Flag: return number == CheckOn ? kTrue : kFalse;
    case Kind::Choice: return field.choices.value(number);
    default: return QString::number(number);
    }
}

void SetFieldText(const ProfileField &field, Profile &profile, const QString &text)
{
    if (field.text)
        field.text(profile) = text;
    else if (field.flag)
        field.flag(profile) = text == kTrue;
    else if (field.kind == Kind::Flag)
        field.number(profile) = text == kTrue ? CheckOn : CheckOff;
    else if (field.kind == Kind::Choice)
        field.number(profile) = int(field.choices.indexOf(text));
    else
        field.number(profile) = text.toInt();
}
