#include "Controls.h"

#include <QFocusEvent>

namespace {

class TabStopOption : public QRadioButton
{
public:
    using QRadioButton::QRadioButton;

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        QRadioButton::focusInEvent(event);
        const auto options = parentWidget()->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly);
        for (QRadioButton *option : options)
            option->setFocusPolicy(Qt::StrongFocus);
    }
};

} // namespace

QString Indexed(QAnyStringView name, int index)
{
    return QStringLiteral("%1(%2)").arg(name.toString()).arg(index);
}

QLabel *MakeLabel(QWidget *parent, QAnyStringView name, const QString &caption)
{
    return Named(new QLabel(caption, parent), name);
}

QLineEdit *MakeTextBox(QWidget *parent, QAnyStringView name, const QString &hint)
{
    auto *box = Named(new QLineEdit(parent), name);
    if (!hint.isEmpty())
        SetHint(box, hint);
    return box;
}

QPushButton *MakeButton(QWidget *parent, QAnyStringView name, const QString &caption)
{
    auto *button = Named(new QPushButton(caption, parent), name);
    button->setAutoDefault(false);
    return button;
}

QGroupBox *MakeFrame(QWidget *parent, QAnyStringView name, const QString &caption)
{
    return Named(new QGroupBox(caption, parent), name);
}

QCheckBox *MakeCheckBox(QWidget *parent, QAnyStringView name, const QString &caption)
{
    return Named(new QCheckBox(caption, parent), name);
}

QComboBox *MakeList(QWidget *parent, QAnyStringView name, const QStringList &items, const QString &hint)
{
    auto *list = Named(new QComboBox(parent), name);
    list->addItems(items);
    if (!hint.isEmpty())
        SetHint(list, hint);
    return list;
}

QRadioButton *MakeOption(QWidget *parent, QAnyStringView name, const QString &caption)
{
    return Named(new TabStopOption(caption, parent), name);
}

QMenu *NameMenu(QMenu *menu, QAnyStringView name)
{
    return Named(menu, name);
}

QAction *MakeAction(QMenu *menu, QAnyStringView name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name.toString());
    return action;
}

QAction *MakeSeparator(QMenu *menu, QAnyStringView name)
{
    QAction *action = menu->addSeparator();
    action->setObjectName(name.toString());
    return action;
}

void SetTabOrder(const QList<QWidget *> &order)
{
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}
