#pragma once

#include "MivVariant.h"
#include "PerfOutages.h"
#include "PerfPlan.h"
#include "PerfRun.h"
#include "PerfRunReport.h"
#include "Profile.h"
#include "modAPI.h"

#include <QDialog>

#include <functional>
#include <memory>

struct FieldRange;
class FocusLeaveGuard;
class MivVariable;
class PerfPlot;
class PerfStatistics;
class PerfStatsPanel;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

// The modal performance check window: writes and/or reads one engine variable over and over
// and records the elapsed milliseconds in its result list. The process runs in the high
// priority class while the window is open. Beside the list, a statistics panel and a plot show
// the latencies of the run under way and of the last one; Export... writes every run to CSV.
class frmPerfChk : public QDialog, private PerfTarget, private PerfObserver
{
    Q_OBJECT
public:
    // The least room the statistics pane gets: the latency table and the plot's axes.
    static constexpr int kStatisticsWidth = 560;
    static constexpr int kStatisticsHeight = 520;

    explicit frmPerfChk(QWidget *parent = nullptr); // Load
    ~frmPerfChk() override;

    MivVariable *m_mivVar = nullptr; // set before exec(); never deleted here, forgotten on close
    QObject *m_frmParent = nullptr;  // in the agreed interface; nothing sets or reads it

    bool isRunning() const { return m_bRunning; }

    // With Reconnect Automatically: asked at a failed step of a run that ignores errors,
    // whether the line is away; such failures are the outage's, which the run marks and
    // outlives. lineLost() and lineBack() say when the line goes and comes back.
    void setLineAway(std::function<bool()> away) { m_lineAway = std::move(away); }
    void lineLost();
    void lineBack();

    // Handlers, public so that the run and tests can drive them like the controls do.
    void optPattern_Click(int index);
    void optReadWrite_Click(int index);
    void cmbValueType_Click();
    void udPatternCount_Change();
    bool txtHour_Validate();
    bool txtMinute_Validate();
    bool txtPatternCount_Validate();
    void cmdStart_Click();
    void cmdStop_Click();
    void cmdClear_Click();
    void cmdExit_Click();
    void cmdExport_Click();

    void EnableSettings(bool enable);

    // The settings as they stand, for a profile (frmPerfChkSettings.cpp); a number field whose
    // text fails its check gives the value it started with.
    PerfSettings settings() const;
    // Starts from these settings instead of the design state.
    void setSettings(const PerfSettings &settings);

signals:
    // Each finished run with its statistics, for a session record: connect it to
    // SessionRecorder::addPerf. Comes after the end row is filled and its message box closed.
    void runFinished(const RecordedPerf &perf);
    // Each failed step of a run with its reason, as it fails, for the Traffic pane and the
    // session record.
    void stepFailed(const QString &reason);

protected:
    void done(int result) override; // every way of closing ends here: Unload
    void showEvent(QShowEvent *event) override; // names the target
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Controls; tests and the tour find them by their objectNames, which are these names
    // (array elements as "optPattern(1)").
    QGroupBox *fraPattern;
    QRadioButton *optPattern[3];
    QLineEdit *txtHour;
    QLabel *lblTimeDelimiter;
    QLineEdit *txtMinute;
    QLineEdit *txtPatternCount;
    QSpinBox *udPatternCount; // arrows only; range 1..65535, independent of txtPatternCount
    QGroupBox *fraReadWrite;
    QRadioButton *optReadWrite[3];
    QCheckBox *chkDataCheck;
    QLabel *lblValue;
    QComboBox *cmbValueType;
    QLineEdit *txtValue;
    QCheckBox *chkIgnore;
    QCheckBox *chkOutput;
    QPushButton *cmdStart;
    QPushButton *cmdStop;
    QPushButton *cmdClear;
    QLabel *lblResult;
    QTreeWidget *lvResult; // columns "Action", "Time", "Time Required (ms)"
    QPushButton *cmdExit;
    QPushButton *cmdExport; // under the plot, level with cmdExit; "Export..."
    PerfStatsPanel *m_statsPanel;
    PerfPlot *m_plot;
    static constexpr int kActionColumn = 0;
    static constexpr int kTimeColumn = 1;
    static constexpr int kElapsedColumn = 2;

    void buildControls(); // frmPerfChkLayout.cpp
    QWidget *buildPatternFrame();
    QWidget *buildReadWriteFrame();
    QTreeWidget *buildResultList();
    QWidget *buildStatistics();
    void connectHandlers();
    void Form_Unload();
    bool ValidateRange(QLineEdit *field, const FieldRange &range);
    PerfPlan ReadPlan() const;
    MivVariable &variable() const; // the variable of this opening, unless the window has closed

    // Results list
    void AddStartRow(const QString &timeStamp);
    QTreeWidgetItem *AddEndRow();
    void FillEndRow(QTreeWidgetItem *row, qint32 resultCode, const QString &timeStamp,
                    quint32 elapsed);
    void WriteDebugLine(const QString &text);

    // The run's target is the variable; what it tells goes into the list and the statistics.
    void write(const MivVariant &value) override;
    MivVariant read() override;
    void runStarted(const modAPI::SYSTEMTIME &start) override;
    void runEnded(qint32 result, const modAPI::SYSTEMTIME &end, quint32 elapsedMs) override;
    bool stopRequested() override;
    void yield() override;
    void debugText(const QString &text) override;
    void progress() override;
    void failed(const QString &reason) override;
    bool lineAway() override;

    // Statistics (frmPerfChkStatistics.cpp)
    void ShowProgress();
    void FinishRun(qint32 resultCode, const modAPI::SYSTEMTIME &end, quint32 elapsed);

    qint16 m_nPattern = PatternCount;
    qint16 m_nReadWrite = ModeRead;
    bool m_bStop = false;
    bool m_bRunning = false;
    bool m_bUnloaded = false;
    std::unique_ptr<PerfStatistics> m_statistics; // of the run under way or the last one
    std::unique_ptr<PerfRun> m_run; // keeps its converter for the later runs of this opening
    PerfRunReport m_current;        // the run under way: its settings and start
    QList<PerfRunReport> m_reports; // the runs whose rows the list holds
    QTreeWidgetItem *m_endRow = nullptr; // of the run under way
    FocusLeaveGuard *m_guard = nullptr;
    PerfOutages m_outages; // of the run under way or the last one
    std::function<bool()> m_lineAway;
    PerfSettings m_startSettings;
};
