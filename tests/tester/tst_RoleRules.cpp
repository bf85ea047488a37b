// What each connection type turns on in the main window, without a window.

#include "MivError.h"
#include "ReconnectRules.h"
#include "RoleRules.h"

#include <QTest>

Q_DECLARE_METATYPE(RolePanels)

class tst_RoleRules : public QObject
{
    Q_OBJECT
private slots:
    void panels_data();
    void panels();
    void unknownTypeRefused();
    void reopensWhenLost_data();
    void reopensWhenLost();
};

void tst_RoleRules::panels_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("sync");
    QTest::addColumn<RolePanels>("expected");

    // title, request, reply, performance, interpret, client
    QTest::newRow("COM client, sync") << int(ComClient) << int(CheckOn)
        << RolePanels{"KELTester - (COM[Client], 7, Sync)", true, false, true, false, 1};
    QTest::newRow("COM client, async") << int(ComClient) << int(CheckOff)
        << RolePanels{"KELTester - (COM[Client], 7, ASync)", true, false, false, true, 1};
    QTest::newRow("COM client, grey is not sync") << int(ComClient) << int(CheckGrey)
        << RolePanels{"KELTester - (COM[Client], 7, ASync)", true, false, false, true, 1};
    QTest::newRow("COM server") << int(ComServer) << int(CheckOff)
        << RolePanels{"KELTester - (COM[Server], 7)", false, true, false, false, 0};
    QTest::newRow("Ether client, sync") << int(EtherClient) << int(CheckOn)
        << RolePanels{"KELTester - (Ether[Client], 10.0.0.9, Sync)", true, false, true, false, 1};
    QTest::newRow("Ether client, async") << int(EtherClient) << int(CheckOff)
        << RolePanels{"KELTester - (Ether[Client], 10.0.0.9, ASync)", true, false, false, true, 1};
    // The dialog keeps the sync box ticked, though disabled, for a server.
    QTest::newRow("Ether server, sync ticked") << int(EtherServer) << int(CheckOn)
        << RolePanels{"KELTester - (Ether[Server], 3)", true, true, false, false, 0};
    QTest::newRow("Ether server") << int(EtherServer) << int(CheckOff)
        << RolePanels{"KELTester - (Ether[Server], 3)", true, true, false, false, 0};
}

void tst_RoleRules::panels()
{
    QFETCH(int, type);
    QFETCH(int, sync);
    QFETCH(RolePanels, expected);

    ConnSettings settings;
    settings.connType = type;
    settings.sync = sync;
    settings.comPort = QStringLiteral("7");
    settings.ipAddress = QStringLiteral("10.0.0.9");
    settings.connMax = QStringLiteral("3");
    const RolePanels panels = PanelsFor(settings);
    QCOMPARE(panels.title, expected.title);
    QVERIFY(panels == expected);
}

void tst_RoleRules::unknownTypeRefused()
{
    ConnSettings settings;
    settings.connType = -1;
    QVERIFY_THROWS_EXCEPTION(MivError, PanelsFor(settings));
}

void tst_RoleRules::reopensWhenLost_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("reopens");
    QTest::newRow("COM client") << int(ComClient) << true;
    QTest::newRow("COM server: its serial line") << int(ComServer) << true;
    QTest::newRow("Ether client") << int(EtherClient) << true;
    QTest::newRow("Ether server: keeps listening") << int(EtherServer) << false;
    QTest::newRow("no type") << -1 << false;
}

void tst_RoleRules::reopensWhenLost()
{
    QFETCH(int, type);
    QFETCH(bool, reopens);
    QCOMPARE(ReopensWhenLost(type), reopens);
}

QTEST_APPLESS_MAIN(tst_RoleRules)
#include "tst_RoleRules.moc"
