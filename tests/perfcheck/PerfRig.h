#pragma once

#include "PeerProcess.h"
#include "ShownWindow.h"
#include "frmPerfChk.h"

#include <QString>
#include <QStringList>

class MivController;
class MivVariable;
class QTreeWidget;

enum Mode { Read = ModeRead, Write = ModeWrite, WriteRead = ModeWriteRead };
enum TypeIndex { I4 = 5, BSTR = 10, ArrayI4 = 14 };

// The settings a test chooses in the window.
struct Settings
{
    int pattern = PatternCount;
    QString count = QStringLiteral("3");
    int mode = Read;
    int typeIndex = BSTR;
    QString value = QStringLiteral("abc");
    bool dataCheck = false;
    bool ignore = false;
    bool output = false;
};

// kelpeer as the device, a controller on it, the variable A:1:X and the window holding it.
struct Rig
{
    explicit Rig(const QStringList &peerArgs = {});
    ~Rig();
    bool ok() const { return ui.ready && variable; }

    // The settings chosen by clicks and typing, as a user makes them.
    void apply(const Settings &s);
    void type(const QString &field, const QString &text);
    void start() { ui.click("cmdStart"); }

    // The frames kelpeer got, once it has printed as many as the engine sent.
    QStringList frames(int atLeast = 0);
    QTreeWidget *list() const;
    QStringList row(int index) const; // the three texts of a result row, none past the last

    PeerProcess peer;
    MivController *controller = nullptr;
    MivVariable *variable = nullptr;
    ShownWindow<frmPerfChk> ui;
};

int countPrefix(const QStringList &frames, const QString &prefix);

// Fails the running test instead of hanging when a run never ends.
void stopAfter(frmPerfChk *window, int ms);
