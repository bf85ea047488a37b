#include "frmPerfChk.h"

#include "MessageBox.h"
#include "MivVariable.h"
#include "PerfCsv.h"
#include "PerfPlot.h"
#include "PerfStatistics.h"
#include "PerfStatsPanel.h"
#include "RecentFolder.h"
#include "TimeStamp.h"

#include <QDir>
#include <QFileDialog>
#include <QSaveFile>

void frmPerfChk::showEvent(QShowEvent *event)
{
    // The main window sets the variable after making the window and before showing it.
    if (m_mivVar)
        m_statsPanel->setTarget(m_mivVar->Name());
    QDialog::showEvent(event);
}

void frmPerfChk::ShowProgress()
{
    const QList<PerfOutages::Span> outages = m_outages.spans();
    m_statsPanel->showFigures(m_statistics->figures());
    m_statsPanel->showOutages(outages);
    m_plot->setOutages(outages);
    m_plot->showProgress(*m_statistics);
}

// The figures are on screen before a failure's message box; the run is kept and reported once
// its end row is whole.
void frmPerfChk::FinishRun(qint32 resultCode, const modAPI::SYSTEMTIME &end, quint32 elapsed)
{
    m_current.outages = m_outages.spans();
    m_statsPanel->showFigures(m_statistics->figures());
    m_statsPanel->showOutages(m_current.outages);
    m_plot->setOutages(m_current.outages);
    m_plot->showStatistics(*m_statistics);
    FillEndRow(m_endRow, resultCode, TimeStampText(end), elapsed);
    m_current.resultCode = resultCode;
    m_current.endStamp = IsoTimeStampText(end);
    m_current.elapsedMs = elapsed;
    m_current.figures = m_statistics->figures();
    m_reports.append(m_current);
    emit runFinished(ToRecordedPerf(m_current));
}

void frmPerfChk::cmdExport_Click()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export Performance Results"),
                                                      InRecentFolder(QStringLiteral("perfcheck.csv")),
                                                      QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    NoteRecentFile(path);
    // Written whole or not at all: an earlier file of that name survives a failed export.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(PerfCsv(m_reports)) < 0 || !file.commit())
        ShowMessageBox(this, QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
}
