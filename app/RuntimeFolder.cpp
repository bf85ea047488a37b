#include "RuntimeFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

constexpr const char *kVariable = "XDG_RUNTIME_DIR";
constexpr int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP};

// For the signal handler, which may only call async-signal-safe functions.
char g_path[4096];

void RemoveAndEnd(int signal)
{
    ::rmdir(g_path); // empty unless Qt left something in it; then it stays
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Only where nobody else has taken the signal.
void RemoveOnEndSignals(const QByteArray &path)
{
    if (size_t(path.size()) >= sizeof g_path)
        return;
    std::memcpy(g_path, path.constData(), size_t(path.size()) + 1);
    for (int signal : kEndSignals) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
            continue;
        struct sigaction ours {};
        ours.sa_handler = RemoveAndEnd;
        sigemptyset(&ours.sa_mask);
        sigaction(signal, &ours, nullptr);
    }
}

void RestoreEndSignals()
{
    for (int signal : kEndSignals) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == RemoveAndEnd)
            std::signal(signal, SIG_DFL);
    }
    g_path[0] = '\0';
}

} // namespace

RuntimeFolder::RuntimeFolder(QStringView program)
{
    if (!qEnvironmentVariableIsEmpty(kVariable))
        return;
    auto folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + u'/' + program.toString() + QStringLiteral("-runtime.XXXXXX"));
    if (!folder->isValid())
        return; // Qt warns and carries on, as it would have anyway
    const QByteArray path = QFile::encodeName(folder->path());
    qputenv(kVariable, path);
    RemoveOnEndSignals(path);
    m_folder = std::move(folder);
}

RuntimeFolder::~RuntimeFolder()
{
    if (!m_folder)
        return;
    RestoreEndSignals();
    qunsetenv(kVariable);
}

QString RuntimeFolder::path() const
{
    return m_folder ? m_folder->path() : QString();
}
