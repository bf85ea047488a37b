#include "ProfileFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

Q_DECLARE_METATYPE(Profile)

namespace {

// Every setting away from its default, with texts that need escaping and the ends of each range.
Profile Changed()
{
    Profile p;
    ConnSettings &c = p.connection;
    c.connType = ComServer;
    c.comPort = QStringLiteral("32767");
    c.baudRate = QStringLiteral("115200");
    c.parity = 2;
    c.dataBits = 0;
    c.stopBits = 1;
    c.xonXoff = CheckOn;
    c.hwCtrl = CheckOn;
    c.ipAddress = QStringLiteral("dev\"ice\\1.example");
    c.portNumber = QStringLiteral("0");
    c.connMax = QStringLiteral("2147483647");
    c.connTimeout = QStringLiteral("1");
    c.myIP = QStringLiteral("10.0.0.\t1");
    c.myIPPort = QStringLiteral("70000\n#not a comment");
    c.eia = CheckOn;
    c.header = 1;
    c.term = 2;
    c.escape = QStringLiteral("27");
    c.timeout = QStringLiteral("0");
    c.sync = CheckOff;
    p.connected = true;
    p.reconnect = true;
    p.reply = {std::numeric_limits<qint32>::min(), QStringLiteral("VT_ARRAY | VT_BSTR"),
               QStringLiteral("a,b,\u00e9\u6f22\U0001F600\x01"), std::numeric_limits<qint32>::max()};
    p.target[0] = QStringLiteral("AXIS");
    p.target[1] = QStringLiteral("1");
    p.target[2] = QStringLiteral("[POS]");
    PerfSettings &s = p.performance;
    s.pattern = PerfSettings::Time;
    s.hours = PerfSettings::kMaxHours;
    s.minutes = PerfSettings::kMaxMinutes;
    s.count = PerfSettings::kMaxCount;
    s.mode = PerfSettings::WriteRead;
    s.dataCheck = true;
    s.valueType = QStringLiteral("(Unkown)");
    s.value = QStringLiteral("'''\"\"\"");
    s.ignoreError = true;
    s.outputDebug = true;
    return p;
}

} // namespace

class tst_Profile : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void refused_data();
    void refused();
    void unwritable();
    void exampleOpens();

private:
    QTemporaryDir m_dir;
};

void tst_Profile::roundTrip_data()
{
    QTest::addColumn<Profile>("profile");
    QTest::newRow("defaults") << Profile();
    QTest::newRow("every setting changed") << Changed();
    Profile ether;
    ether.connection.connType = EtherClient;
    ether.connection.iso = CheckOn;
    ether.connection.ipAddress.clear();
    ether.performance.pattern = PerfSettings::Infinite;
    ether.performance.count = PerfSettings::kMinCount;
    ether.performance.minutes = 0;
    ether.reply.type = QStringLiteral("VT_I4");
    QTest::newRow("ether client") << ether;
}

// Saved and opened, a profile sets everything as it was; the file says what each key is.
void tst_Profile::roundTrip()
{
    QFETCH(Profile, profile);
    const QString path = m_dir.filePath(QStringLiteral("round.toml"));
    QString error;
    QVERIFY2(SaveProfile(path, profile, &error), qPrintable(error));
    const std::optional<Profile> opened = LoadProfile(path, &error);
    QVERIFY2(opened, qPrintable(error));
    QVERIFY(*opened == profile);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].contains(" = "))
            QVERIFY2(lines[i - 1].startsWith("# "), lines[i].constData());
    }
}

void tst_Profile::refused_data()
{
    QTest::addColumn<QString>("path"); // empty: a file of the content
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("line");     // 0: the file as a whole
    QTest::addColumn<QString>("what");

    const QByteArray good = "[reply]\nhresult = 5\n";
    QTest::newRow("unknown key") << QString() << good + "[connection.serial]\ncom_prot = 3\n" << 4
                                 << "unknown key \"com_prot\" in [connection.serial]";
    QTest::newRow("unknown table") << QString() << good + "[network]\n" << 3 << "unknown key \"network\"";
    QTest::newRow("table as a value") << QString() << QByteArray("connection = 5\n") << 1
                                      << "connection must be a table";
    QTest::newRow("text for a number") << QString() << QByteArray("[reply]\nhresult = \"0\"\n") << 2
                                       << "hresult must be a whole number from -2147483648 to 2147483647";
    QTest::newRow("fraction for a number") << QString() << QByteArray("[performance]\ncount = 1.5\n") << 2
                                           << "count must be a whole number from 1 to 65535";
    QTest::newRow("huge float for a number") << QString() << QByteArray("[performance]\ncount = 1e300\n") << 2
                                             << "count must be a whole number";
    QTest::newRow("flag for a text") << QString() << QByteArray("[connection.ether]\nip_address = true\n") << 2
                                     << "ip_address must be a text in quotes";
    QTest::newRow("number for a flag") << QString() << QByteArray("[connection]\nsync = 1\n") << 2
                                       << "sync must be true or false";
    QTest::newRow("minutes out of range") << QString() << QByteArray("[performance]\nminutes = 60\n") << 2
                                          << "minutes must be a whole number from 0 to 59";
    QTest::newRow("COM port out of range") << QString() << QByteArray("[connection.serial]\ncom_port = 32768\n") << 2
                                           << "com_port must be a whole number from 0 to 32767";
    QTest::newRow("HRESULT beyond 32 bits") << QString() << QByteArray("[reply]\nhresult = 2147483648\n") << 2
                                            << "hresult must be";
    QTest::newRow("baud rate not in the list") << QString() << QByteArray("[connection.serial]\nbaud_rate = 12345\n")
                                               << 2 << "baud_rate must be one of 4800, 9600";
    QTest::newRow("parity in other letters") << QString() << QByteArray("[connection.serial]\nparity = \"none\"\n")
                                             << 2 << "parity must be one of \"NONE\", \"EVEN\", \"ODD\"";
    QTest::newRow("reply type unknown") << QString() << QByteArray("[reply]\ntype = \"VT_NOPE\"\n") << 2
                                        << "type must be one of \"(nothing)\"";
    QTest::newRow("both convert boxes") << QString() << QByteArray("[connection.packet]\neia = true\niso = true\n")
                                        << 2 << "iso and eia cannot both be true";
    QTest::newRow("syntax") << QString() << QByteArray("[reply\nhresult = 1\n") << 1 << "";
    QTest::newRow("key twice") << QString() << QByteArray("[reply]\ndelay = 1\ndelay = 2\n") << 3 << "";
    QTest::newRow("too deep") << QString() << QByteArray("# deep\na.b.c.d.e.f.g.h.i = 1\n") << 2
                              << "nest more than 8 deep";
    QTest::newRow("too large") << QString() << QByteArray(kMaxProfileBytes + 1, '#') << 0 << "larger than 1 MiB";
    QTest::newRow("not a regular file") << QStringLiteral("/dev/zero") << QByteArray() << 0 << "not a regular file";
    QTest::newRow("no such file") << m_dir.filePath(QStringLiteral("absent.toml")) << QByteArray() << 0 << "";
}

// A bad profile is refused whole, naming the file and the line and saying what is wrong.
void tst_Profile::refused()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, content);
    QFETCH(int, line);
    QFETCH(QString, what);
    if (path.isEmpty()) {
        path = m_dir.filePath(QStringLiteral("bad.toml"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    QString error;
    QVERIFY(!LoadProfile(path, &error));
    const QString where = line ? QStringLiteral("%1:%2: ").arg(path).arg(line) : path + QStringLiteral(": ");
    QVERIFY2(error.startsWith(where) && error.size() > where.size(), qPrintable(error));
    QVERIFY2(error.contains(what), qPrintable(error));
}

// A setting that no profile can hold is not written, and the file there stays.
void tst_Profile::unwritable()
{
    const QString path = m_dir.filePath(QStringLiteral("kept.toml"));
    QString error;
    QVERIFY(SaveProfile(path, Profile(), &error));
    Profile bad;
    bad.connection.timeout = QStringLiteral("1e+16");
    QVERIFY(!SaveProfile(path, bad, &error));
    QVERIFY2(error.startsWith(path + QStringLiteral(": connection.timeout \"1e+16\"")), qPrintable(error));
    QVERIFY(LoadProfile(path, &error) == Profile());
}

void tst_Profile::exampleOpens()
{
    QString error;
    const std::optional<Profile> example = LoadProfile(QStringLiteral(KEL_EXAMPLE_PROFILE), &error);
    QVERIFY2(example, qPrintable(error));
    QVERIFY(!example->connected);
}

QTEST_GUILESS_MAIN(tst_Profile)
#include "tst_profile.moc"
