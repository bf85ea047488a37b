#pragma once

#include "AccessibleName.h"

#include <QAction>
#include <QAnyStringView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QStringList>

// The control factory of the three windows. Every control gets its objectName, which is its
// name in the description (tests and the tour find it by that name), and the name a screen
// reader announces: its caption, or its hint.

// The objectName of a control array element: "txtKELCmd(0)".
QString Indexed(QAnyStringView name, int index);

// Names a control made elsewhere and, when it has a caption, names it by that caption.
template<typename Control>
Control *Named(Control *control, QAnyStringView name)
{
    control->setObjectName(name.toString());
    NameByCaption(control);
    return control;
}

QLabel *MakeLabel(QWidget *parent, QAnyStringView name, const QString &caption);
// With a hint, the hint is the tool tip and the accessible name.
QLineEdit *MakeTextBox(QWidget *parent, QAnyStringView name, const QString &hint = {});
// Never a default button: Return in a text box presses nothing.
QPushButton *MakeButton(QWidget *parent, QAnyStringView name, const QString &caption);
QGroupBox *MakeFrame(QWidget *parent, QAnyStringView name, const QString &caption);
QCheckBox *MakeCheckBox(QWidget *parent, QAnyStringView name, const QString &caption = {});
// A drop-down list that takes only its items.
QComboBox *MakeList(QWidget *parent, QAnyStringView name, const QStringList &items = {},
                    const QString &hint = {});
// An option button that stays a Tab stop when another one of its group takes the focus (Qt
// leaves only the focused option of a group in the tab order); the arrow keys still move
// within the group.
QRadioButton *MakeOption(QWidget *parent, QAnyStringView name, const QString &caption);

QMenu *NameMenu(QMenu *menu, QAnyStringView name);
QAction *MakeAction(QMenu *menu, QAnyStringView name, const QString &caption);
QAction *MakeSeparator(QMenu *menu, QAnyStringView name);

// The tab order: each control after the one before it.
void SetTabOrder(const QList<QWidget *> &order);
