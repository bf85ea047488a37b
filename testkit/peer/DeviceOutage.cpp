#include "DeviceOutage.h"

#include "KelPeerConfig.h"
#include "KelPeerThread.h"
#include "PeerOptions.h"
#include "PtyPair.h"

namespace {

constexpr int kDeviceComPort = 1;
constexpr int kPtyStartMs = 5000;
constexpr int kTimeoutMs = 2000;

} // namespace

DeviceOutage::DeviceOutage(bool serial, int engineComPort) : m_serial(serial), m_engineComPort(engineComPort) {}

DeviceOutage::~DeviceOutage()
{
    unplug();
}

bool DeviceOutage::plugIn()
{
    if (m_serial) {
        m_pty = std::make_unique<PtyPair>();
        if (!m_pty->start(kPtyStartMs, m_dir.filePath(QStringLiteral("adapter")))) {
            m_error = m_pty->errorString();
            return false;
        }
        qputenv(qPrintable(QStringLiteral("MIV_COM%1").arg(m_engineComPort)), m_pty->first().toUtf8());
        qputenv(qPrintable(QStringLiteral("MIV_COM%1").arg(kDeviceComPort)), m_pty->second().toUtf8());
    }
    const QString option = m_serial ? ComOption(kDeviceComPort, kTimeoutMs) : EtherServerOption(m_port, kTimeoutMs);
    m_device = std::make_unique<KelPeerThread>(ParseKelPeerArgs({"--option", option}).config);
    if (!m_device->start()) {
        m_error = m_device->errorString();
        return false;
    }
    if (!m_serial)
        m_port = m_device->port();
    return true;
}

void DeviceOutage::unplug()
{
    m_device.reset();
    if (m_pty)
        m_pty->stop();
}

QString DeviceOutage::option() const
{
    return m_serial ? ComOption(m_engineComPort, kTimeoutMs) : EtherClientOption(m_port, kTimeoutMs);
}
