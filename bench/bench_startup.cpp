// Start-up time until the main window has painted, against a minimal window of the same size
// holding one label (so that its fonts are loaded and as many pixels painted), and the resident memory of a full log list (LogModel at
// its 32,767 lines) against a QStringList of the same lines. Each figure comes from a fresh
// child process (this program run with --child MODE); ours and the baseline take turns.
// Usage: QT_QPA_PLATFORM=offscreen bench_startup

#include "LogModel.h"
#include "Paired.h"
#include "ProcessEngine.h"
#include "ProcessProbe.h"
#include "frmKELTester.h"

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QVBoxLayout>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

QString LogLine(int i)
{
    return QStringLiteral("12:34:56.%1 [ Receive ]\t0,8,GET:A:%2:X: answer %3")
        .arg(i % 1000, 3, 10, QLatin1Char('0'))
        .arg(i % 100)
        .arg(i);
}

// The baseline: a window with one label in a layout, nothing else; sized like the main window
// by the arguments after the mode.
class LabelWindow : public QWidget
{
public:
    LabelWindow()
    {
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(QStringLiteral("KELTester"), this));
        const QStringList args = QCoreApplication::arguments();
        if (args.size() > 4)
            resize(args[3].toInt(), args[4].toInt());
    }
};

// Notes the first paint of any widget.
class PaintSeen : public QObject
{
public:
    bool seen = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            seen = true;
        return QObject::eventFilter(watched, event);
    }
};

// Milliseconds from entering main until the window is exposed and has painted (all of its
// widgets paint in the same pass).
template<typename Window, bool withEngine>
int ShowTime(int argc, char **argv, Clock::time_point start)
{
    QApplication app(argc, argv);
    PaintSeen paint;
    app.installEventFilter(&paint);
    std::optional<ProcessEngine> engine;
    if constexpr (withEngine)
        engine.emplace();
    int status = 0;
    {
        Window window;
        window.show();
        const auto deadline = start + std::chrono::seconds(20);
        while (!(paint.seen && window.windowHandle() && window.windowHandle()->isExposed()) && Clock::now() < deadline)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        if (Clock::now() >= deadline)
            status = 1;
        std::printf("%.3f %d %d\n", std::chrono::duration<double, std::milli>(Clock::now() - start).count(),
                    window.width(), window.height());
    }
    return status;
}

// kB of resident memory that 32,767 log lines add.
template<typename Fill>
int LinesMemory(Fill fill)
{
    const qint64 before = ResidentKb();
    fill();
    std::printf("%lld\n", static_cast<long long>(ResidentKb() - before));
    return 0;
}

int Child(const char *mode, int argc, char **argv, Clock::time_point start)
{
    if (!std::strcmp(mode, "window"))
        return ShowTime<frmKELTester, true>(argc, argv, start);
    if (!std::strcmp(mode, "label"))
        return ShowTime<LabelWindow, false>(argc, argv, start);
    QCoreApplication app(argc, argv);
    if (!std::strcmp(mode, "log")) {
        LogModel model;
        return LinesMemory([&] {
            for (int i = 0; i < LogModel::kMaxLines; ++i)
                model.append(LogLine(i));
        });
    }
    if (!std::strcmp(mode, "list")) {
        QStringList lines;
        return LinesMemory([&] {
            for (int i = 0; i < LogModel::kMaxLines; ++i)
                lines.append(LogLine(i));
        });
    }
    std::fprintf(stderr, "bench_startup: unknown mode %s\n", mode);
    return 2;
}

// The first figure a child in `mode` prints, negative when it fails. `size` gets the rest (the
// window size), if asked.
double RunChild(const QString &self, const char *mode, QStringList *size = nullptr, const QStringList &extra = {})
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(self, QStringList{QStringLiteral("--child"), QString::fromLatin1(mode)} + extra);
    if (!child.waitForFinished(30000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        child.kill();
        child.waitForFinished(3000);
        std::fprintf(stderr, "bench_startup: the %s child failed\n", mode);
        return -1;
    }
    const QStringList printed = QString::fromLatin1(child.readAllStandardOutput()).split(u' ', Qt::SkipEmptyParts);
    if (size)
        *size = printed.mid(1);
    return printed.value(0).toDouble();
}

} // namespace

int main(int argc, char **argv)
{
    const auto start = Clock::now();
    if (argc > 2 && !std::strcmp(argv[1], "--child"))
        return Child(argv[2], argc, argv, start);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    QStringList size;
    RunChild(self, "window", &size); // gives the size for the baseline
    const auto child = [&self](const char *mode, const QStringList &extra = {}) {
        return [&self, mode, extra] { return RunChild(self, mode, nullptr, extra); };
    };
    const bool ok = PairedRun(PairedRow("start-up, until the main window has painted", "ms", Better::Lower),
                              child("window"), child("label", size))
                     && PairedRun(PairedRow("resident memory, full log (32767 lines)", "kB", Better::Lower, 1),
                                  child("log"), child("list"));
    return ok ? 0 : 1;
}
