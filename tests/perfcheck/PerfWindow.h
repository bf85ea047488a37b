#pragma once

#include "MessageBox.h"
#include "frmPerfChk.h"

#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <memory>

// A shown, active performance window, clicked through its window handle so that the field
// checks see every press, and every message box answered and recorded.
struct PerfWindow
{
    PerfWindow()
    {
        SetMessageBoxHook([this](const QString &text) {
            messages << text;
            if (onMessage)
                onMessage(text);
        });
        window = std::make_unique<frmPerfChk>();
        window->show();
        window->activateWindow();
        ready = QTest::qWaitForWindowActive(window.get());
    }
    ~PerfWindow()
    {
        window.reset();
        SetMessageBoxHook({});
    }
    PerfWindow(const PerfWindow &) = delete;
    PerfWindow &operator=(const PerfWindow &) = delete;

    template<typename W = QWidget>
    W *control(const QString &name) const
    {
        return window->findChild<W *>(name);
    }

    void click(QWidget *target, QPoint at = QPoint(-1, -1)) const
    {
        QPoint local = at.x() < 0 ? target->rect().center() : at;
        // Option buttons and check boxes take clicks on their indicator and caption only.
        if (at.x() < 0 && qobject_cast<QAbstractButton *>(target) && !qobject_cast<QPushButton *>(target))
            local.setX(6);
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, target->mapTo(window.get(), local));
    }
    void click(const QString &name) const { click(control(name)); }

    std::unique_ptr<frmPerfChk> window;
    QStringList messages;
    std::function<void(const QString &)> onMessage;
    bool ready = false;
};
