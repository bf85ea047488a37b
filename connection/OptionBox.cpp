#include "OptionBox.h"

#include <QMimeData>
#include <QTextCursor>
#include <QTextDocumentFragment>

namespace {

// Unicode line breaking allows no break after a comma before a letter or digit.
constexpr QChar kBreakChance(0x200B); // zero-width space

QString WithoutBreakChances(QString text)
{
    return text.remove(kBreakChance);
}

} // namespace

OptionBox::OptionBox(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A single setting longer than a line still breaks.
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
}

void OptionBox::setOption(const QString &option)
{
    QString shown = option;
    shown.replace(u',', QString(u',') + kBreakChance);
    setPlainText(shown);
}

QString OptionBox::option() const
{
    return WithoutBreakChances(toPlainText());
}

QMimeData *OptionBox::createMimeDataFromSelection() const
{
    auto *data = new QMimeData;
    data->setText(WithoutBreakChances(textCursor().selection().toPlainText()));
    return data;
}
