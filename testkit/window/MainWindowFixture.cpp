#include "MainWindowFixture.h"

#include "LogModel.h"
#include "MivController.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>

MainWindowFixture::~MainWindowFixture()
{
    if (window)
        window->mnuFileDisconn_Click();
}

bool MainWindowFixture::connect(const ConnChoice &settings)
{
    return ConnectThroughDialog(*window, settings) && window->mivCtrl();
}

void MainWindowFixture::fillRequest(const QString &request) const
{
    const QStringList parts = request.split(u'|');
    auto *top = control<QComboBox>("cmbTopCmd");
    top->setCurrentIndex(top->findText(parts.value(0)));
    for (int i = 0; i < 4; ++i)
        control<QLineEdit>(Element("txtKELCmd", i))->setText(parts.value(i + 1));
}

void MainWindowFixture::setAutoReply(const QString &hresult, int typeIndex, const QString &value,
                                     const QString &delay)
{
    control<QLineEdit>("txtHRESULT")->setText(hresult);
    control<QComboBox>("cmbVTType")->setCurrentIndex(typeIndex);
    control<QLineEdit>("txtValue")->setText(value);
    control<QLineEdit>("txtDelay")->setText(delay);
    window->cmdSet_Click();
}

QList<LogEntry> MainWindowFixture::log(int fromRow) const
{
    static const QRegularExpression line(QStringLiteral("^(.*?)\\(\\d\\d:\\d\\d:\\d\\d\\) : (.*)$"),
                                         QRegularExpression::DotMatchesEverythingOption);
    QList<LogEntry> entries;
    const LogModel *model = window->logModel();
    for (int row = fromRow; row < model->count(); ++row) {
        const QRegularExpressionMatch match = line.match(model->line(row));
        entries.append(match.hasMatch() ? LogEntry{match.captured(1), match.captured(2)}
                                        : LogEntry{QStringLiteral("?"), model->line(row)});
    }
    return entries;
}

int MainWindowFixture::logCount() const
{
    return window->logModel()->count();
}

QString MainWindowFixture::describeLog(int fromRow) const
{
    QStringList lines;
    for (const LogEntry &entry : log(fromRow))
        lines << QString(entry.caption).replace(u'\t', QLatin1String("\\t")) + QLatin1String(" | ") + entry.value;
    return lines.join(u'\n');
}

quint16 MainWindowFixture::serverPort() const
{
    const MivController *controller = window->mivCtrl();
    if (!controller)
        return 0;
    const QString address = controller->localAddress();
    return address.mid(address.lastIndexOf(u':') + 1).toUShort();
}

void MainWindowTest::init()
{
    m_ui.emplace();
    QVERIFY(m_ui->ready);
}
