#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

class KelPeerThread;
class PtyPair;

// The far end of an outage: kelpeer's device on its own thread, on a TCP port that stays the
// same across restarts, or on a pseudo-terminal whose engine side keeps one path across
// restarts (an adapter re-plugged). The engine side of a serial device is COM engineComPort.
class DeviceOutage
{
public:
    explicit DeviceOutage(bool serial, int engineComPort = 2);
    ~DeviceOutage();

    bool plugIn();
    void unplug();
    // The engine side's option string, and the device's TCP port.
    QString option() const;
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }

private:
    bool m_serial;
    int m_engineComPort;
    QTemporaryDir m_dir;
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<KelPeerThread> m_device;
    quint16 m_port = 0;
    QString m_error;
};
