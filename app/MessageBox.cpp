#include "MessageBox.h"

#include "modMain.h"

#include <QMessageBox>

namespace {
std::function<void(const QString &)> &hook()
{
    static std::function<void(const QString &)> instance;
    return instance;
}
} // namespace

void ShowMessageBox(QWidget *parent, const QString &text)
{
    // A copy, so that a hook may replace itself while it runs.
    if (const auto current = hook()) {
        current(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

void SetMessageBoxHook(std::function<void(const QString &text)> hook_)
{
    hook() = std::move(hook_);
}
