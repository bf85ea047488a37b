#pragma once

#include "MessageBoxRecorder.h"
#include "UserActions.h"
#include "WindowControls.h"

#include <QTest>

#include <memory>

// A window of type W for one test: made, shown and active, with every message box recorded
// instead of shown; controls found and clicked by their names.
template<typename W>
class ShownWindow
{
public:
    ShownWindow() : window(std::make_unique<W>())
    {
        window->show();
        window->activateWindow();
        ready = QTest::qWaitForWindowActive(window.get());
    }
    ~ShownWindow() { window.reset(); }
    ShownWindow(const ShownWindow &) = delete;
    ShownWindow &operator=(const ShownWindow &) = delete;

    W *operator->() const { return window.get(); }
    W &operator*() const { return *window; }

    template<typename T = QWidget>
    T *control(QAnyStringView name) const
    {
        return Control<T>(window.get(), name);
    }
    void click(QAnyStringView name, QPoint at = QPoint(-1, -1)) const
    {
        UserActions::Click(control(name), Qt::LeftButton, at);
    }

    MessageBoxRecorder boxes; // made first and gone last: no box of the window is ever shown
    std::unique_ptr<W> window;
    bool ready = false; // shown and active
};
