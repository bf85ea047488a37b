#pragma once

#include <QSpinBox>

// An up-down control: the arrow pair of a spin box without a text part of its own. It keeps
// its own value; whatever text box it stands beside is updated by the owner's change handler.
class ArrowUpDown : public QSpinBox
{
    Q_OBJECT
public:
    explicit ArrowUpDown(QWidget *parent = nullptr);
};
