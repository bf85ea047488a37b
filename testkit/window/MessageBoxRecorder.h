#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// While one lives, no message box shows: each box's text is recorded and the box counts as
// answered with OK at once. onShow, when set, runs while the box "is up".
class MessageBoxRecorder
{
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder &) = delete;
    MessageBoxRecorder &operator=(const MessageBoxRecorder &) = delete;

    QStringList texts() const { return m_texts; }
    bool isEmpty() const { return m_texts.isEmpty(); }
    void clear() { m_texts.clear(); }

    std::function<void(const QString &text)> onShow;

private:
    QStringList m_texts;
};
