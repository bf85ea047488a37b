#include "UserActions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QWindow>

namespace UserActions {

namespace {

QPoint PressPoint(QWidget *control)
{
    QStyle::SubElement area {};
    if (qobject_cast<QCheckBox *>(control))
        area = QStyle::SE_CheckBoxClickRect;
    else if (qobject_cast<QRadioButton *>(control))
        area = QStyle::SE_RadioButtonClickRect;
    else
        return control->rect().center();
    QStyleOptionButton option;
    option.initFrom(control);
    option.text = static_cast<QAbstractButton *>(control)->text();
    return control->style()->subElementRect(area, &option, control).center();
}

} // namespace

void Click(QWidget *control, Qt::MouseButton button, QPoint at)
{
    QWidget *top = control->window();
    const QPoint local = at.x() < 0 ? PressPoint(control) : at;
    QTest::mouseClick(top->windowHandle(), button, {}, control->mapTo(top, local));
}

void Type(QLineEdit *field, const QString &text)
{
    Click(field);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(field, Qt::Key_Delete);
    else
        QTest::keyClicks(field, text);
}

bool Choose(QComboBox *box, const QString &item)
{
    const int target = box->findText(item);
    if (target < 0)
        return false;
    Click(box);
    // The click opens the list; Escape closes it and leaves the focus on the box.
    if (QWidget *popup = QApplication::activePopupWidget())
        QTest::keyClick(popup, Qt::Key_Escape);
    QTest::keyClick(box, Qt::Key_Home);
    for (int i = 0; i < box->count() && box->currentIndex() != target; ++i)
        QTest::keyClick(box, Qt::Key_Down);
    return box->currentIndex() == target;
}

void Tick(QCheckBox *box, bool on)
{
    if (box->isChecked() != on)
        Click(box);
}

void Leave(QWidget *field)
{
    QTest::keyClick(field, Qt::Key_Tab);
}

bool WaitFor(const std::function<bool()> &done, int timeoutMs)
{
    return QTest::qWaitFor(done, timeoutMs);
}

} // namespace UserActions
