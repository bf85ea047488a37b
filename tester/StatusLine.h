#pragma once

#include "FramePacer.h"

#include <QString>
#include <QWidget>

// One line of status text. Its size does not depend on its text, so a new text never lays out the
// status bar again (a label would, on every change); the text is there at once and painted at
// most once per screen frame. Assistive technology reads it as static text named by the text,
// and hears of each change, as it would of a label's.
class StatusLine : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
public:
    explicit StatusLine(QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void textChanged(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    FramePacer m_repaint;
};
