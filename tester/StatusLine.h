#pragma once

#include "FramePacer.h"

#include <QString>
#include <QWidget>

// One line of status text. Its size does not depend on its text, so a new text never lays out the
// status bar again (a label would, on every change); the text is there at once and painted at
// most once per screen frame.
class StatusLine : public QWidget
{
    Q_OBJECT
public:
    explicit StatusLine(QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    FramePacer m_repaint;
};
