#include "AccessibleName.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>

QString ShownCaption(const QString &caption)
{
    QString shown;
    shown.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == u'&' && i + 1 < caption.size())
            ++i; // the next character shows as it is, a second '&' included
        shown += caption.at(i);
    }
    return shown;
}

void NameByCaption(QWidget *control)
{
    QString caption;
    if (const auto *button = qobject_cast<QAbstractButton *>(control))
        caption = button->text();
    else if (const auto *frame = qobject_cast<QGroupBox *>(control))
        caption = frame->title();
    else if (const auto *label = qobject_cast<QLabel *>(control))
        caption = label->text();
    else if (const auto *menu = qobject_cast<QMenu *>(control))
        caption = menu->title();
    if (!caption.isEmpty())
        control->setAccessibleName(ShownCaption(caption));
}

void SetHint(QWidget *field, const QString &hint)
{
    field->setToolTip(hint);
    field->setAccessibleName(hint);
}

void NameByLabel(QWidget *field, QLabel *label)
{
    QString name = ShownCaption(label->text()).trimmed();
    if (name.endsWith(u':'))
        name.chop(1);
    field->setAccessibleName(name.trimmed());
    label->setBuddy(field);
}
