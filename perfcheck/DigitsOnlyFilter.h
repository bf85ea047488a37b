#pragma once

#include <QObject>

// Refuses typed characters other than the digits 0-9 in the text boxes it watches. Only key
// presses are filtered: pasted text still arrives and is left to the field's own check.
class DigitsOnlyFilter : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    void watch(QObject *field) { field->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
