#include "frmPerfChk.h"

#include "ArrowUpDown.h"
#include "Controls.h"
#include "FieldRange.h"
#include "PerfPlot.h"
#include "PerfStatsPanel.h"
#include "TimeStamp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

// The window and column sizes are given in twips for the original system font, whose average
// character is 6 pixels, or 90 twips, wide.
constexpr int kTwipsPerAverageCharacter = 90;
constexpr int kTwipsPerPixel = 15;
constexpr int kClientWidthTwips = 7500;
constexpr int kClientHeightTwips = 4980;
constexpr int kColumnTwips[] = {900, 1800, 1700};
constexpr int kDataCheckIndent = 18; // under the option buttons' captions
constexpr int kHourDigits = 3;
constexpr int kMinuteDigits = 2;
constexpr int kCountDigits = 5;
// The widest time stamp the list shows, for its column.
const modAPI::SYSTEMTIME kWidestTime{12, 12, 0, 28, 23, 58, 58, 888};

int TwipsToPixels(int twips, const QFontMetrics &metrics)
{
    return twips * metrics.averageCharWidth() / kTwipsPerAverageCharacter;
}

QLineEdit *NumberBox(QWidget *parent, QAnyStringView name, const QString &text, int digits)
{
    QLineEdit *box = MakeTextBox(parent, name);
    box->setText(text);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
    const int margins = box->textMargins().left() + box->textMargins().right();
    constexpr int kInnerMargin = 4; // the text box's own margin inside its frame, both sides
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QString(digits, u'0')) + margins
                       + 2 * frame + 2 * kInnerMargin);
    return box;
}

} // namespace

void frmPerfChk::buildControls()
{
    setObjectName(QStringLiteral("frmPerfChk"));
    setWindowTitle(QStringLiteral("[ Performance Check ]"));

    auto *left = new QVBoxLayout;
    left->addWidget(buildPatternFrame());
    left->addWidget(buildReadWriteFrame());
    left->addStretch(1);

    cmdStart = MakeButton(this, "cmdStart", QStringLiteral("St&art"));
    cmdStop = MakeButton(this, "cmdStop", QStringLiteral("St&op"));
    cmdStop->setEnabled(false);
    cmdClear = MakeButton(this, "cmdClear", QStringLiteral("&Clear"));
    lblResult = MakeLabel(this, "lblResult", QStringLiteral("Result :"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdStart);
    buttons->addWidget(cmdStop);
    buttons->addWidget(cmdClear);
    auto *right = new QVBoxLayout;
    right->addLayout(buttons);
    right->addWidget(lblResult);
    right->addWidget(buildResultList(), 1);

    chkIgnore = MakeCheckBox(this, "chkIgnore", QStringLiteral("Ignore Error"));
    chkOutput = MakeCheckBox(this, "chkOutput", QStringLiteral("OutputDebugString value"));
    cmdExit = MakeButton(this, "cmdExit", QStringLiteral("E&xit"));
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(chkIgnore);
    bottom->addWidget(chkOutput);
    bottom->addStretch(1);
    bottom->addWidget(cmdExit);

    // The described window on the left, at least at its designed size; the statistics beside it.
    auto *described = new QWidget(this);
    auto *grid = new QGridLayout(described);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addLayout(left, 0, 0);
    grid->addLayout(right, 0, 1);
    grid->addLayout(bottom, 1, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);

    // The number fields follow an option button, not a label, and the value text box stands
    // under the type list that the label names: they are named by what stands before them.
    txtHour->setAccessibleName(QStringLiteral("Hour"));
    txtMinute->setAccessibleName(QStringLiteral("Minute"));
    txtPatternCount->setAccessibleName(QStringLiteral("No. Times"));
    udPatternCount->setAccessibleName(QStringLiteral("No. Times"));
    txtValue->setAccessibleName(QStringLiteral("Value text"));
    NameByLabel(cmbValueType, lblValue);
    NameByLabel(lvResult, lblResult);

    // The design state before Load's rules run.
    for (QWidget *w : {static_cast<QWidget *>(txtHour), static_cast<QWidget *>(lblTimeDelimiter),
                       static_cast<QWidget *>(txtMinute), static_cast<QWidget *>(chkDataCheck),
                       static_cast<QWidget *>(lblValue), static_cast<QWidget *>(cmbValueType),
                       static_cast<QWidget *>(txtValue)})
        w->setEnabled(false);

    QWidget *statistics = buildStatistics();
    SetTabOrder({fraPattern, optPattern[0], txtHour, lblTimeDelimiter, txtMinute, optPattern[1],
                 txtPatternCount, udPatternCount, optPattern[2], fraReadWrite, optReadWrite[0],
                 optReadWrite[1], optReadWrite[2], chkDataCheck, lblValue, cmbValueType, txtValue,
                 chkIgnore, chkOutput, cmdStart, cmdStop, cmdClear, lblResult, lvResult, cmdExit, cmdExport});

    auto *splitter = Named(new QSplitter(Qt::Horizontal, this), "splStatistics");
    splitter->addWidget(described);
    splitter->addWidget(statistics);
    splitter->setCollapsible(0, false);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    auto *whole = new QVBoxLayout(this);
    whole->addWidget(splitter);

    const QFontMetrics metrics(font());
    const QSize designed(TwipsToPixels(kClientWidthTwips, metrics), TwipsToPixels(kClientHeightTwips, metrics));
    const QSize original(kClientWidthTwips / kTwipsPerPixel, kClientHeightTwips / kTwipsPerPixel);
    const QSize leftSize = described->sizeHint().expandedTo(designed).expandedTo(original);
    const int rightWidth = std::max(statistics->sizeHint().width(), kStatisticsWidth);
    splitter->setSizes({leftSize.width(), rightWidth});
    const QMargins margins = whole->contentsMargins();
    resize(QSize(leftSize.width() + splitter->handleWidth() + rightWidth + margins.left() + margins.right(),
                 std::max({leftSize.height(), statistics->sizeHint().height(), kStatisticsHeight}) + margins.top()
                     + margins.bottom()));
}

QWidget *frmPerfChk::buildStatistics()
{
    auto *pane = new QWidget(this);
    m_statsPanel = new PerfStatsPanel(pane);
    m_plot = new PerfPlot(pane);
    // Export... stands here, level with Exit, so that the described row of buttons stays as it is.
    cmdExport = MakeButton(pane, "cmdExport", QStringLiteral("&Export..."));
    auto *exportRow = new QHBoxLayout;
    exportRow->addStretch(1);
    exportRow->addWidget(cmdExport);
    auto *column = new QVBoxLayout(pane);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_statsPanel);
    column->addWidget(m_plot, 1);
    column->addLayout(exportRow);
    return pane;
}

QWidget *frmPerfChk::buildPatternFrame()
{
    fraPattern = MakeFrame(this, "fraPattern", QStringLiteral("Check Pattern"));
    optPattern[0] = MakeOption(fraPattern, Indexed("optPattern", 0), QStringLiteral("Time(H:M) :"));
    txtHour = NumberBox(fraPattern, "txtHour", QStringLiteral("0"), kHourDigits);
    lblTimeDelimiter = MakeLabel(fraPattern, "lblTimeDelimiter", QStringLiteral(":"));
    lblTimeDelimiter->setAlignment(Qt::AlignCenter);
    txtMinute = NumberBox(fraPattern, "txtMinute", QStringLiteral("1"), kMinuteDigits);
    optPattern[1] = MakeOption(fraPattern, Indexed("optPattern", 1), QStringLiteral("No. Times :"));
    optPattern[1]->setChecked(true);
    txtPatternCount = NumberBox(fraPattern, "txtPatternCount", QStringLiteral("1"), kCountDigits);
    udPatternCount = Named(new ArrowUpDown(fraPattern), "udPatternCount");
    udPatternCount->setRange(kCountRange.low, kCountRange.high);
    optPattern[2] = MakeOption(fraPattern, Indexed("optPattern", 2), QStringLiteral("Infinite"));

    auto *time = new QHBoxLayout;
    time->addWidget(txtHour);
    time->addWidget(lblTimeDelimiter);
    time->addWidget(txtMinute);
    time->addStretch(1);
    auto *count = new QHBoxLayout;
    count->setSpacing(0);
    count->addWidget(txtPatternCount);
    count->addWidget(udPatternCount);
    count->addStretch(1);
    auto *grid = new QGridLayout(fraPattern);
    // Option buttons only as wide as their captions, so that a click beside one is no click on it.
    grid->addWidget(optPattern[0], 0, 0, Qt::AlignLeft);
    grid->addLayout(time, 0, 1);
    grid->addWidget(optPattern[1], 1, 0, Qt::AlignLeft);
    grid->addLayout(count, 1, 1);
    grid->addWidget(optPattern[2], 2, 0, Qt::AlignLeft);
    return fraPattern;
}

QWidget *frmPerfChk::buildReadWriteFrame()
{
    fraReadWrite = MakeFrame(this, "fraReadWrite", QStringLiteral("Read / Write"));
    auto *column = new QVBoxLayout(fraReadWrite);
    const QString captions[std::size(optReadWrite)] = {QStringLiteral("Read"), QStringLiteral("Write"),
                                                       QStringLiteral("Write && Read")};
    for (int i = 0; i < int(std::size(optReadWrite)); ++i) {
        optReadWrite[i] = MakeOption(fraReadWrite, Indexed("optReadWrite", i), captions[i]);
        column->addWidget(optReadWrite[i], 0, Qt::AlignLeft);
    }
    optReadWrite[ModeRead]->setChecked(true);
    chkDataCheck = MakeCheckBox(fraReadWrite, "chkDataCheck", QStringLiteral("Check Data"));
    auto *check = new QHBoxLayout;
    check->addSpacing(kDataCheckIndent);
    check->addWidget(chkDataCheck);
    check->addStretch(1);
    column->addLayout(check);

    lblValue = MakeLabel(fraReadWrite, "lblValue", QStringLiteral("Value : "));
    cmbValueType = MakeList(fraReadWrite, "cmbValueType");
    txtValue = MakeTextBox(fraReadWrite, "txtValue");
    auto *type = new QHBoxLayout;
    type->addWidget(lblValue);
    type->addWidget(cmbValueType, 1);
    column->addLayout(type);
    column->addWidget(txtValue);
    return fraReadWrite;
}

// Columns in the proportion of their twips, scaled by one factor: the twips in this font, or
// more where a caption or, for the time, a whole time stamp needs more.
QTreeWidget *frmPerfChk::buildResultList()
{
    lvResult = Named(new QTreeWidget(this), "lvResult");
    lvResult->setRootIsDecorated(false);
    lvResult->setUniformRowHeights(true);
    lvResult->setHeaderLabels({QStringLiteral("Action"), QStringLiteral("Time"),
                               QStringLiteral("Time Required (ms)")});
    lvResult->headerItem()->setTextAlignment(kElapsedColumn, Qt::AlignRight | Qt::AlignVCenter);
    QHeaderView *header = lvResult->header();
    header->setStretchLastSection(false);

    const QFontMetrics metrics(lvResult->font());
    const int textMargin = lvResult->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, lvResult) + 1;
    const int stampWidth = metrics.horizontalAdvance(TimeStampText(kWidestTime)) + 2 * textMargin;
    double pixelsPerTwip = double(metrics.averageCharWidth()) / kTwipsPerAverageCharacter;
    for (int column = 0; column < int(std::size(kColumnTwips)); ++column) {
        int needed = header->sectionSizeHint(column);
        if (column == kTimeColumn)
            needed = std::max(needed, stampWidth);
        pixelsPerTwip = std::max(pixelsPerTwip, double(needed) / kColumnTwips[column]);
    }
    int total = 0;
    for (int column = 0; column < int(std::size(kColumnTwips)); ++column) {
        const int width = int(std::ceil(kColumnTwips[column] * pixelsPerTwip));
        lvResult->setColumnWidth(column, width);
        total += width;
    }
    const int frame = 2 * lvResult->frameWidth();
    const int scrollBar = lvResult->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, lvResult);
    lvResult->setMinimumWidth(total + frame + scrollBar);
    return lvResult;
}
