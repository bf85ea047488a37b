#include "PerfRig.h"

#include "MivController.h"
#include "MivEngine.h"
#include "MivError.h"
#include "PeerOptions.h"
#include "ProcessEngine.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>

namespace {
constexpr int kTimeoutMs = 500;
constexpr int kFramesTimeoutMs = 3000;
} // namespace

Rig::Rig(const QStringList &peerArgs)
{
    const QStringList args = {QStringLiteral("--option"), EtherServerOption(0), QStringLiteral("--verbose")};
    if (!peer.start(args + peerArgs))
        return;
    try {
        controller = g_mivEngine->Workspaces().Item(0)->AddController(
            QString(), QStringLiteral("MivProv.KEL"), QStringLiteral("localhost"),
            EtherClientOption(peer.port(), kTimeoutMs, true));
        variable = controller->AddVariable(QStringLiteral("A:1:X"), QString());
    } catch (const MivError &e) {
        qWarning("%s", qPrintable(e.description()));
        return;
    }
    ui.window->m_mivVar = variable;
}

Rig::~Rig()
{
    ui.window.reset();
    if (controller)
        g_mivEngine->Workspaces().Item(0)->Controllers().Remove(controller->Index());
}

void Rig::apply(const Settings &s)
{
    ui.click(Element("optReadWrite", s.mode));
    if (s.dataCheck) {
        // Ticked in "Write && Read", then kept when another mode disables it.
        ui.click(Element("optReadWrite", ModeWriteRead));
        ui.click("chkDataCheck");
        ui.click(Element("optReadWrite", s.mode));
    }
    ui.control<QComboBox>("cmbValueType")->setCurrentIndex(s.typeIndex);
    ui.control<QLineEdit>("txtValue")->setText(s.value);
    if (s.ignore)
        ui.click("chkIgnore");
    if (s.output)
        ui.click("chkOutput");
    ui.click(Element("optPattern", s.pattern));
    if (s.pattern == PatternCount)
        type(QStringLiteral("txtPatternCount"), s.count);
}

void Rig::type(const QString &field, const QString &text)
{
    auto *box = ui.control<QLineEdit>(field);
    UserActions::Click(box);
    box->selectAll();
    QTest::keyClicks(box, text);
}

QStringList Rig::frames(int atLeast)
{
    peer.waitForReceived(atLeast, kFramesTimeoutMs);
    QTest::qWait(50); // and nothing more
    peer.pump();
    return peer.received();
}

QTreeWidget *Rig::list() const
{
    return ui.control<QTreeWidget>("lvResult");
}

QStringList Rig::row(int index) const
{
    const QTreeWidgetItem *item = list()->topLevelItem(index);
    return item ? QStringList{item->text(0), item->text(1), item->text(2)} : QStringList();
}

int countPrefix(const QStringList &frames, const QString &prefix)
{
    return int(std::count_if(frames.begin(), frames.end(), [&](const QString &f) { return f.startsWith(prefix); }));
}

void stopAfter(frmPerfChk *window, int ms)
{
    QTimer::singleShot(ms, window, [window] { window->cmdStop_Click(); });
}
