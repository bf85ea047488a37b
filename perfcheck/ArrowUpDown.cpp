#include "ArrowUpDown.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

ArrowUpDown::ArrowUpDown(QWidget *parent) : QSpinBox(parent)
{
    // The edit part stays as the focus target for the arrow keys but shows and takes no text.
    lineEdit()->setReadOnly(true);
    lineEdit()->setMaximumWidth(0);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setFrame(false);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize ArrowUpDown::sizeHint() const
{
    const QSize full = QSpinBox::sizeHint();
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    option.rect = QRect(QPoint(0, 0), full);
    const QRect up = style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, this);
    return QSize(full.width() - up.left(), full.height());
}
