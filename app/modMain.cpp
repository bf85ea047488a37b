#include "modMain.h"

#include "LeadingNumber.h"
#include "MivError.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRegularExpression>

bool IsAllDigits(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

bool IsNumberText(QString &text)
{
    // Plain decimal forms only: &H/&O and locale forms (thousands separators, currency) are refused.
    static const QRegularExpression plainDecimal(
        QStringLiteral("^[ \\t]*[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?[ \\t]*$"));
    if (!plainDecimal.match(text).hasMatch())
        return false;
    qint32 value = 0;
    try {
        value = LeadingInt32(text);
    } catch (const MivError &) {
        return false; // no 32-bit normal form: the caller answers with its range message
    }
    text = QString::number(value);
    return true;
}

void SelectAllText(QLineEdit *textBox)
{
    textBox->setSelection(0, int(textBox->text().size()));
}

namespace {

// Controls with a background and a text colour of their own, and the palette roles they use.
bool colourRoles(const QWidget *control, QPalette::ColorRole &background, QPalette::ColorRole &text)
{
    if (qobject_cast<const QLabel *>(control)) {
        background = QPalette::Window;
        text = QPalette::WindowText;
        return true;
    }
    if (qobject_cast<const QLineEdit *>(control) || qobject_cast<const QComboBox *>(control)
        || qobject_cast<const QAbstractItemView *>(control)) {
        background = QPalette::Base;
        text = QPalette::Text;
        return true;
    }
    return false;
}

// The desktop's colours for the control's class, not whatever the control was last given.
QPalette systemPalette(const QWidget *control)
{
    return QApplication::palette(control);
}

void setBackground(QWidget *control, QPalette::ColorRole role, bool usable)
{
    const QPalette system = systemPalette(control);
    QPalette palette = control->palette();
    palette.setColor(role, system.color(QPalette::Active, usable ? QPalette::Base : QPalette::Button));
    control->setPalette(palette);
}

} // namespace

void SetCtlEnabled(QWidget *control, bool enabled)
{
    QPalette::ColorRole background {};
    QPalette::ColorRole text {};
    if (colourRoles(control, background, text)) {
        setBackground(control, background, enabled);
        const QPalette system = systemPalette(control);
        QPalette palette = control->palette();
        palette.setColor(text, enabled ? system.color(QPalette::Active, QPalette::Text)
                                       : system.color(QPalette::Disabled, QPalette::Text));
        control->setPalette(palette);
    }
    control->setEnabled(enabled);
}

void SetCtlEditable(QWidget *control, bool editable)
{
    if (auto *textBox = qobject_cast<QLineEdit *>(control)) {
        textBox->setEnabled(editable);
        setBackground(textBox, QPalette::Base, editable);
        textBox->setReadOnly(!editable);
    } else if (qobject_cast<QPushButton *>(control) || qobject_cast<QComboBox *>(control)) {
        control->setEnabled(editable);
    }
}
