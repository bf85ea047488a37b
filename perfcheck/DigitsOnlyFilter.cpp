#include "DigitsOnlyFilter.h"

#include <QKeyEvent>

bool DigitsOnlyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    // Shortcuts (paste, select all, mnemonics) and editing keys carry no printable text.
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    for (const QChar c : key->text()) {
        if (c.isPrint() && !(c >= u'0' && c <= u'9'))
            return true;
    }
    return false;
}
