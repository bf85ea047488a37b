#include "KelFramer.h"
#include "MivError.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

// "convert:header:terminator:escape", as in the option string.
KelPacketSettings Packet(const QString &text)
{
    const QStringList parts = text.split(u':');
    KelPacketSettings p;
    p.convert = parts[0].toInt();
    p.header = parts[1] == u"1";
    p.terminator = parts[2].toInt();
    p.escape = parts[3].toInt();
    return p;
}

QString Frame(const QString &text) { return "F|" + text; }
QString Error(const QString &text) { return "E|" + text; }

QStringList Describe(const QList<KelFrameEvent> &events)
{
    QStringList out;
    for (const KelFrameEvent &e : events)
        out << (e.kind == KelFrameEvent::Frame ? Frame(e.text) : Error(e.text));
    return out;
}

enum class Chunking { Whole, ByteByByte, Random };

// Feeds the stream the given way and checks the buffer bound after every piece.
QStringList FeedAll(const KelPacketSettings &packet, const QByteArray &stream, Chunking chunking)
{
    KelFramer framer(packet);
    QList<KelFrameEvent> events;
    QRandomGenerator random(20240416);
    qsizetype at = 0;
    while (at < stream.size()) {
        qsizetype n = stream.size() - at;
        if (chunking == Chunking::ByteByByte)
            n = 1;
        else if (chunking == Chunking::Random)
            n = qMin(n, qsizetype(random.bounded(1, random.bounded(2) ? 8 : 5000)));
        framer.feed(stream.constData() + at, n, events);
        if (framer.buffered() > KelFramer::kMaxBody)
            return {"buffer grew to " + QString::number(framer.buffered())};
        at += n;
    }
    return Describe(events);
}

// Longer than any text the encoder takes in its single pass.
constexpr qsizetype kLongText = 100;
const QString kOverlong = "A frame body longer than 65536 bytes was dropped";
const QString kDangling = "A frame ended inside an escape";

} // namespace

class tst_framer : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void receive_data();
    void receive();
    void refusedToSend_data();
    void refusedToSend();
    void endlessBody_data();
    void endlessBody();
    void resetDropsPartialFrame();
    void boundedFeed_data();
    void boundedFeed();
};

void tst_framer::roundTrip_data()
{
    QTest::addColumn<QString>("packet");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("received");

    auto row = [](const char *name, const char *packet, const QString &body, const QByteArray &bytes,
                  const QString &received = {}) {
        QTest::newRow(name) << packet << body << bytes << (received.isNull() ? body : received);
    };
    row("UTF-8, CR", "4:0:0:0", "GET:A:1:X:", "GET:A:1:X:\r");
    row("UTF-8, LF", "4:0:1:0", u"h\u00e9llo"_qs, "h\xC3\xA9llo\n");
    row("UTF-8, CR LF, lone CR in the body", "4:0:2:0", "a\rb", "a\rb\r\n");
    row("UTF-8, CR LF, body ends in CR", "4:0:2:0", "a\r", "a\r\r\n");
    row("empty body", "4:0:0:0", "", "\r");
    row("Latin-1", "0:0:0:0", u"\u00e9\u00ff"_qs, "\xE9\xFF\r");
    row("header", "4:1:0:0", "0,3,100", "\x05" "0,3,100\r");
    row("header, LF", "4:1:1:0", "x", "\x05x\n");
    row("header, CR LF", "4:1:2:0", "x", "\x05x\r\n");
    row("escape with CR", "4:0:0:16", "a\rb\x10" "c", "a\x10\rb\x10\x10" "c\r");
    row("escape with LF leaves CR alone", "4:0:1:27", "x\ny\rz", "x\x1B\ny\rz\n");
    row("escape with CR LF", "4:0:2:16", "\r\n", QByteArray("\x10\r\x10\n\r\n"));
    row("escape with header", "4:1:0:16", "\x05", "\x05\x10\x05\r");
    row("escape, ENQ plain without header", "4:0:0:16", "\x05", "\x05\r");
    row("escape 255, Latin-1", "0:0:0:255", u"\u00ff"_qs, "\xFF\xFF\r");
    row("ISO parity", "1:0:0:0", "AC", "\x41\xC3\x8D");
    row("ISO, header, CR LF, escape", "1:1:2:16", "\r1", "\x05\x90\x8D\xB1\x8D\x0A");
    row("ISO with Unicode", "5:0:1:0", "~", "\x7E\x0A");
    row("EIA, lower case sent as upper", "2:0:0:0", "G01 x1.5", "\x67\x20\x01\x10\x37\x01\x6B\x15\x80", "G01 X1.5");
    row("EIA, header, CR LF gives end of block", "6:1:2:0", "N10", "\x05\x45\x01\x20\x80");
    row("EIA, escape equal to a code", "2:0:0:97", "AB", "\x61\x61\x62\x80");
    row("EIA, tab, backspace, delete", "2:0:0:0", "\t\b\x7F", "\x3E\x2A\x7F\x80");
    row("UTF-8 outside the BMP", "4:0:0:0", u"\U0001F600"_qs, "\xF0\x9F\x98\x80\r");
    // Long texts take another way through the encoder.
    const QString longText(kLongText, u'v');
    row("long UTF-8, escape", "4:0:0:16", longText + u"\r\x10\u00e9"_qs,
        longText.toLatin1() + "\x10\r\x10\x10\xC3\xA9\r");
    row("long UTF-8, lone surrogate", "4:0:0:0", longText + QChar(0xD800), longText.toLatin1() + "?\r",
        longText + u'?');
}

void tst_framer::roundTrip()
{
    QFETCH(QString, packet);
    QFETCH(QString, body);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, received);
    const KelPacketSettings settings = Packet(packet);
    QCOMPARE(KelFramer(settings).encode(body), bytes);
    for (Chunking c : {Chunking::Whole, Chunking::ByteByByte, Chunking::Random})
        QCOMPARE(FeedAll(settings, bytes, c), QStringList{Frame(received)});
}

void tst_framer::receive_data()
{
    QTest::addColumn<QString>("packet");
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("garbage before a frame") << "4:1:0:0" << QByteArray("xx\rzz\x05" "abc\r") << QStringList{Frame("abc")};
    QTest::newRow("garbage between frames") << "4:1:0:0" << QByteArray("\x05" "a\rnoise\n\x05" "b\r")
                                            << QStringList{Frame("a"), Frame("b")};
    QTest::newRow("two frames in one read") << "4:0:0:0" << QByteArray("a\rb\r") << QStringList{Frame("a"), Frame("b")};
    QTest::newRow("empty frames") << "4:0:0:0" << QByteArray("\r\r") << QStringList{Frame(""), Frame("")};
    QTest::newRow("CR LF: a lone LF ends a frame") << "4:0:2:0" << QByteArray("a\nb\r\n")
                                                   << QStringList{Frame("a"), Frame("b")};
    QTest::newRow("CR LF: CR before CR LF is data") << "4:0:2:0" << QByteArray("a\r\r\nb\rc\r\n")
                                                    << QStringList{Frame("a\r"), Frame("b\rc")};
    QTest::newRow("escaped CR is data") << "4:0:0:16" << QByteArray("ab\x10\r" "c\r") << QStringList{Frame("ab\rc")};
    QTest::newRow("escape before an ordinary byte") << "4:0:0:16" << QByteArray("\x10q\r") << QStringList{Frame("q")};
    QTest::newRow("dangling escape, CR LF") << "4:0:2:16" << QByteArray("ab\x10\r\nnext\r\n")
                                            << QStringList{Error(kDangling), Frame("next")};
    QTest::newRow("dangling escape, EIA") << "2:0:0:15" << QByteArray("\x61\x0F\x80\x62\x80")
                                          << QStringList{Error(kDangling), Frame("B")};
    QTest::newRow("parity error") << "1:0:0:0" << QByteArray("\x41\x43\x8D\x41\x8D")
                                  << QStringList{Error("Parity error in byte 0x43"), Frame("A")};
    QTest::newRow("parity errors in one frame report once") << "1:0:0:0" << QByteArray("\x43\x43\x43\x8D\x41\x8D")
                                                            << QStringList{Error("Parity error in byte 0x43"), Frame("A")};
    QTest::newRow("bad parity outside a frame is skipped") << "1:1:0:0" << QByteArray("\x43\x8D\x05\x41\x8D")
                                                           << QStringList{Frame("A")};
    QTest::newRow("EIA byte the code lacks") << "2:0:0:0" << QByteArray("\x61\x03\x80\x62\x80")
                                             << QStringList{Error("Byte 0x03 is not in the EIA code"), Frame("B")};
    QTest::newRow("a header cuts off a partial frame") << "4:1:0:0" << QByteArray("\x05" "ab\x05" "cd\r")
                                                       << QStringList{Error("An incomplete frame was cut off by the next header"), Frame("cd")};
    QTest::newRow("a repeated header is no error") << "4:1:0:0" << QByteArray("\x05\x05" "cd\r") << QStringList{Frame("cd")};
    QTest::newRow("a header ends a dropped frame") << "1:1:0:0" << QByteArray("\x05\x43\x05\x41\x8D")
                                                   << QStringList{Error("Parity error in byte 0x43"), Frame("A")};
    QTest::newRow("UTF-8 across reads") << "4:0:0:0" << QByteArray("\xE2\x82\xAC\r") << QStringList{Frame(u"\u20ac"_qs)};

    const QByteArray full(KelFramer::kMaxBody, 'a');
    QTest::newRow("body of 65,536 bytes") << "4:0:0:0" << full + "\r" << QStringList{Frame(QString(full))};
    QTest::newRow("body of 65,537 bytes") << "4:0:0:0" << full + "a\rok\r" << QStringList{Error(kOverlong), Frame("ok")};
    QTest::newRow("body of 65,537 bytes, table path") << "0:0:0:16" << full + "a\rok\r"
                                                     << QStringList{Error(kOverlong), Frame("ok")};
    QByteArray escaped;
    for (int i = 0; i < KelFramer::kMaxBody; ++i)
        escaped += "\x10\x10";
    QTest::newRow("the bound counts body bytes, not escapes") << "4:0:0:16" << escaped + "\r"
                                                              << QStringList{Frame(QString(KelFramer::kMaxBody, u'\x10'))};
    QTest::newRow("an escaped terminator in a dropped body") << "4:0:0:16" << full + "a\x10\rstill dropped\rok\r"
                                                             << QStringList{Error(kOverlong), Frame("ok")};
}

void tst_framer::receive()
{
    QFETCH(QString, packet);
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, events);
    const KelPacketSettings settings = Packet(packet);
    QCOMPARE(FeedAll(settings, stream, Chunking::Whole), events);
    QCOMPARE(FeedAll(settings, stream, Chunking::ByteByByte), events);
    QCOMPARE(FeedAll(settings, stream, Chunking::Random), events);
}

void tst_framer::refusedToSend_data()
{
    QTest::addColumn<QString>("packet");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("description");

    const QString frameByte = "Cannot send: the text holds the byte %1, which ends or starts a frame, and no escape byte is set";
    QTest::newRow("Latin-1 lacks the euro sign") << "0:0:0:0" << u"1 \u20ac"_qs
                                                 << u"Cannot send: Latin-1 has no character '\u20ac' (U+20AC)"_qs;
    QTest::newRow("Latin-1 outside the BMP") << "0:0:0:0" << u"\U0001F600"_qs
                                             << u"Cannot send: Latin-1 has no character '\U0001F600' (U+1F600)"_qs;
    QTest::newRow("ISO takes 7 bits") << "1:0:0:0" << u"caf\u00e9"_qs
                                      << u"Cannot send: ISO takes 7-bit text only, not '\u00e9' (U+00E9)"_qs;
    QTest::newRow("EIA lacks !") << "2:0:0:0" << "GO!" << "Cannot send: the EIA code has no character '!' (U+0021)";
    QTest::newRow("EIA lacks CR") << "2:0:0:0" << "A\r" << "Cannot send: the EIA code has no character '\r' (U+000D)";
    QTest::newRow("CR without escape") << "4:0:0:0" << "a\rb" << frameByte.arg("0x0D");
    QTest::newRow("LF without escape, CR LF") << "4:0:2:0" << "a\nb" << frameByte.arg("0x0A");
    QTest::newRow("ENQ without escape, header") << "4:1:0:0" << "\x05" << frameByte.arg("0x05");
    QTest::newRow("CR without escape, long text") << "4:0:0:0" << QString(kLongText, u'a') + u'\r'
                                                  << frameByte.arg("0x0D");
    QTest::newRow("65,537 bytes") << "4:0:0:0" << QString(KelFramer::kMaxBody + 1, u'a')
                                  << "Cannot send: the text is 65537 bytes, more than 65536";
    QTest::newRow("65,538 bytes of UTF-8") << "4:0:0:0" << QString(KelFramer::kMaxBody / 2 + 1, u'\u00e9')
                                           << "Cannot send: the text is 65538 bytes, more than 65536";
}

void tst_framer::refusedToSend()
{
    QFETCH(QString, packet);
    QFETCH(QString, body);
    QFETCH(QString, description);
    try {
        KelFramer(Packet(packet)).encode(body);
        QFAIL("sent");
    } catch (const MivError &e) {
        QCOMPARE(e.code(), MivCode::InvalidArg);
        QCOMPARE(e.description(), description);
    }
}

void tst_framer::endlessBody_data()
{
    QTest::addColumn<QString>("packet");
    QTest::addColumn<char>("filler");
    QTest::addColumn<QByteArray>("next");
    QTest::addColumn<QString>("text");

    QTest::newRow("run path") << "4:0:0:0" << 'x' << QByteArray("\rnext\r") << "next";
    QTest::newRow("table path") << "4:1:2:16" << 'x' << QByteArray("\r\n\x05next\r\n") << "next";
    QTest::newRow("byte path, ISO") << "1:0:0:0" << 'x' << QByteArray("\x8D\xEE\x8D") << "n";
    QTest::newRow("byte path, EIA") << "2:0:0:0" << '\x61' << QByteArray("\x80\x45\x80") << "N";
}

// 1 MiB that never ends: the buffer stays bounded, one error, and the next frame arrives.
void tst_framer::endlessBody()
{
    QFETCH(QString, packet);
    QFETCH(char, filler);
    QFETCH(QByteArray, next);
    const KelPacketSettings settings = Packet(packet);
    KelFramer framer(settings);
    QList<KelFrameEvent> events;
    if (settings.header)
        framer.feed(QByteArray("\x05"), events);
    const QByteArray chunk(4096, filler);
    for (int i = 0; i < 256; ++i) {
        framer.feed(chunk, events);
        QVERIFY(framer.buffered() <= KelFramer::kMaxBody);
    }
    framer.feed(next, events);
    QCOMPARE(events.size(), 2);
    QCOMPARE(events[0].kind, KelFrameEvent::Error);
    QCOMPARE(events[0].text, kOverlong);
    QCOMPARE(events[1].kind, KelFrameEvent::Frame);
    QTEST(events[1].text, "text");
    QCOMPARE(framer.buffered(), 0);
}

void tst_framer::resetDropsPartialFrame()
{
    KelFramer framer(Packet("4:1:2:16"));
    QList<KelFrameEvent> events;
    framer.feed(QByteArray("\x05" "ab\r\x10"), events);
    QCOMPARE(framer.buffered(), 3);
    framer.reset();
    QCOMPARE(framer.buffered(), 0);
    framer.feed(QByteArray("\r\n\x05" "cd\r\n"), events);
    QCOMPARE(Describe(events), QStringList{Frame("cd")});
}

void tst_framer::boundedFeed_data()
{
    QTest::addColumn<qsizetype>("maxBody");
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<qsizetype>>("taken"); // bytes per call of two events at most
    QTest::addColumn<QStringList>("events");

    QTest::newRow("frames") << KelFramer::kMaxBody << QByteArray("A\rB\rC\rD") << QList<qsizetype>{4, 3}
                            << QStringList{Frame("A"), Frame("B"), Frame("C")};
    QTest::newRow("a smaller body limit") << qsizetype(4) << QByteArray("ABCDE\rOK\r\r") << QList<qsizetype>{9, 1}
                                          << QStringList{Error("A frame body longer than 4 bytes was dropped"),
                                                         Frame("OK"), Frame("")};
}

// As a link reads when its inbox is nearly full: a few events per call, on from where it stopped.
void tst_framer::boundedFeed()
{
    QFETCH(qsizetype, maxBody);
    QFETCH(QByteArray, stream);
    QFETCH(QList<qsizetype>, taken);
    KelFramer framer(Packet("4:0:0:0"), maxBody);
    QList<KelFrameEvent> events;
    QList<qsizetype> took;
    for (qsizetype at = 0; at < stream.size();) {
        took << framer.feed(stream.constData() + at, stream.size() - at, events, 2);
        at += took.last();
    }
    QCOMPARE(took, taken);
    QTEST(Describe(events), "events");
}

QTEST_GUILESS_MAIN(tst_framer)
#include "tst_framer.moc"
