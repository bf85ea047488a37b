#pragma once

#include <QSpinBox>

// An up-down control: the arrow pair of a spin box without a text part of its own. It keeps
// its own value; whatever text box it stands beside is updated by the owner's change handler.
class ArrowUpDown : public QSpinBox
{
    Q_OBJECT
public:
    explicit ArrowUpDown(QWidget *parent = nullptr);

    // As wide as the arrows, so that a layout puts nothing but the arrows beside the text box.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
};
