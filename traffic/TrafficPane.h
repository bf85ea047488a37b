#pragma once

#include "LazyDock.h"

class QCheckBox;
class QPushButton;
class QTableView;
class TrafficModel;

// The Traffic pane: a dock of the main window with one row per frame or connection event,
// the bytes in hex on demand, and Copy and Clear. It follows the newest row while the view is
// scrolled to the end. Its contents are made when it is first shown: most sessions never
// open it, and the window starts sooner.
class TrafficPane : public LazyDock
{
    Q_OBJECT
public:
    TrafficPane(TrafficModel *model, QWidget *parent);

    // The selected rows, or every row when none is selected, one line each, each ended by CR LF.
    QString copyText();
    void copy();
    void clear();

private:
    void build() override;
    void showHex(bool on);
    void follow();

    TrafficModel *m_model;
    QTableView *m_view = nullptr;
    QCheckBox *m_hex = nullptr;
    QPushButton *m_copy = nullptr;
    QPushButton *m_clear = nullptr;
    bool m_atEnd = true;
    bool m_followPending = false;
};
