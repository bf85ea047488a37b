#pragma once

#include <QPlainTextEdit>

// The dialog's read-only option string, wrapped only after a comma, between one key's setting
// and the next, never inside an address or a number. The break chances are zero-width spaces in
// the shown text only: option() and whatever is copied from the box are the option string.
class OptionBox : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit OptionBox(QWidget *parent = nullptr);

    void setOption(const QString &option);
    QString option() const;

protected:
    QMimeData *createMimeDataFromSelection() const override;
};
