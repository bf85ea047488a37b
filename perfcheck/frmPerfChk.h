#pragma once

#include "MivConverter.h"
#include "MivVariant.h"

#include <QDialog>

#include <memory>

class FocusLeaveGuard;
class MivVariable;
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
// priority class while the window is open.
class frmPerfChk : public QDialog
{
    Q_OBJECT
public:
    explicit frmPerfChk(QWidget *parent = nullptr); // Load
    ~frmPerfChk() override;

    MivVariable *m_mivVar = nullptr; // set before exec(); never deleted here, forgotten on close
    QObject *m_frmParent = nullptr;  // in the agreed interface; nothing sets or reads it

    bool isRunning() const { return m_bRunning; }

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

    void EnableSettings(bool enable);

    // The run: one timed run with its two result rows, and the three pattern loops, each
    // returning its result code (0 none, 1 write, 2 read, 3 comparison).
    void RunCheck(const MivVariant &value, qint16 pattern);
    qint32 RunTimePattern(const MivVariant &value, quint32 startTick);
    qint32 RunCountPattern(const MivVariant &value);
    qint32 RunInfinitePattern(const MivVariant &value);

    // Controls; objectNames as their names, array elements as "optPattern(1)".
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

protected:
    void done(int result) override; // every way of closing ends here: Unload
    void keyPressEvent(QKeyEvent *event) override;

private:
    // What one run carries from cycle to cycle.
    struct RunState
    {
        MivVariant valueRead;
        qint32 step = 0;
        qint32 resultCode = 0;
        bool dataCheck = false;
    };

    void buildControls();
    void Form_Unload();
    bool ValidateRange(QLineEdit *field, qint32 low, qint32 high, const QString &message);
    bool RunCycle(const MivVariant &value, RunState &state); // false: end the loop
    bool StepFailed(RunState &state);
    MivConverter &converter();

    // Results list
    void AddStartRow(const QString &timeStamp);
    QTreeWidgetItem *AddEndRow();
    void FillEndRow(QTreeWidgetItem *row, qint32 resultCode, const QString &timeStamp,
                    quint32 elapsed);
    void WriteDebugLine(const QString &text);

    qint16 m_nPattern = 1;
    qint16 m_nReadWrite = 0;
    bool m_bStop = false;
    bool m_bIgnoreError = false;
    bool m_bOutputDebug = false;
    bool m_bRunning = false;
    bool m_bUnloaded = false;
    std::unique_ptr<MivConverter> m_objConverter;
    FocusLeaveGuard *m_guard = nullptr;
};
