#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every OK-only message box of the windows goes through here, with the application's title as
// caption, so that tests can observe and answer it instead of blocking on a modal box.
void ShowMessageBox(QWidget *parent, const QString &text);

// While a hook is set no box is shown: the hook receives the text, and returning from it
// stands for pressing OK. An empty function restores the real box.
void SetMessageBoxHook(std::function<void(const QString &text)> hook);
