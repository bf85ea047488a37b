#include "ArrowUpDown.h"

#include <QLineEdit>

ArrowUpDown::ArrowUpDown(QWidget *parent) : QSpinBox(parent)
{
    // The edit part stays as the focus target for the arrow keys but shows and takes no text.
    lineEdit()->setReadOnly(true);
    lineEdit()->setMaximumWidth(0);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setFrame(false);
}
