#pragma once

#include <QString>

class QLabel;
class QWidget;

// Names for assistive technology, so that a screen reader announces each control by what the
// window shows for it. All of them set QWidget::accessibleName.

// A caption as it shows on screen: mnemonic marks dropped, "&&" as one "&".
QString ShownCaption(const QString &caption);

// A button, check box, option button, frame, label or menu: named by its own caption.
// Controls without a caption are left alone.
void NameByCaption(QWidget *control);

// A field with a hint: the hint is both its tool tip and its name.
void SetHint(QWidget *field, const QString &hint);

// A field with neither caption nor hint, standing beside a label: named by the label's caption
// without the blanks and colon around it ("IP Address  : " -> "IP Address"), and the label
// becomes its buddy.
void NameByLabel(QWidget *field, QLabel *label);
