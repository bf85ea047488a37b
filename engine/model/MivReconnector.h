#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class MivController;
class QFileSystemWatcher;

// Opens a controller's lost connection again (a client or a serial line), with the same
// options: at once, then after 0.5, 1, 2 and 4 s, then every 5 s, until it opens, stop() is
// called, another controller is watched, or the controller goes. Each try is announced by
// reconnecting() and, to the controller's listener, as a Reconnecting tap event. A serial
// device path that has disappeared is watched: the next try comes as soon as it is back.
//
// Nothing starts by itself: the owner calls start() when it has handled the loss, so that
// its own disconnect steps come first.
class MivReconnector : public QObject
{
    Q_OBJECT
public:
    // The waits before each try, in ms; the last one repeats.
    static constexpr int kBackOffMs[] = {0, 500, 1000, 2000, 4000, 5000};

    explicit MivReconnector(QObject *parent = nullptr);
    ~MivReconnector() override;

    // Off: start() does nothing, and tries under way stop at once.
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }
    // The controller to keep open (nullptr: none). Replaces the one before and stops its tries
    // (a new Connect).
    void watch(MivController *controller);
    MivController *controller() const;
    // Gives up after this many tries without success (0, the default: never).
    void setMaxAttempts(int attempts) { m_maxAttempts = attempts; }

    // The connection went for reason: tries begin, unless they are under way, reconnect is off,
    // or the controller is open or cannot be reopened (a server: gaveUp).
    void start(const QString &reason);
    // No further try; takes effect at once, also from a slot of reconnecting().
    void stop();
    bool isTrying() const { return m_trying; }
    int attempts() const { return m_attempt; }

    // The wait before the next try, after triesDone tries.
    static int backOffMs(int triesDone);
    // A try as a line says it: "try 3: <reason>".
    static QString describe(int attempt, const QString &reason);

signals:
    // Try number attempt (from 1) is about to run; reason says why the line is not open.
    void reconnecting(int attempt, const QString &reason);
    // The connection is open again.
    void opened();
    // No more tries: the controller cannot be reopened, has gone, or the tries ran out.
    void gaveUp(const QString &reason);

private:
    void tryOnce();
    void scheduleNext();
    void giveUp(const QString &reason);
    void watchPath(const QString &path);
    void pathChanged();

    QPointer<MivController> m_controller;
    QTimer m_timer;
    QFileSystemWatcher *m_pathWatcher = nullptr;
    QString m_waitedPath; // a device path being waited for
    QString m_reason;
    int m_attempt = 0;
    int m_maxAttempts = 0;
    bool m_enabled = true;
    bool m_trying = false;
};
