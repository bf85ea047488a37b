#include "DeviceOutage.h"

#include "KelPeerConfig.h"
#include "KelPeerThread.h"
#include "PtyPair.h"

namespace {

constexpr int kDeviceComPort = 1;
constexpr int kPtyStartMs = 5000;

QString SerialOption(int comPort)
{
    return QStringLiteral("Conn=com:%1:38400:N:8:1:0,PacketOpt=4:0:0:0,Timeout=2000").arg(comPort);
}

QString DeviceServerOption(quint16 port)
{
    return QStringLiteral("Conn=eth::%1,PacketOpt=4:0:0:0,EtherOpt=1:10:0,Timeout=2000").arg(port);
}

QString ClientOption(quint16 port)
{
    return QStringLiteral("Conn=eth:127.0.0.1:%1,PacketOpt=4:0:0:0,EtherOpt=0,Timeout=2000").arg(port);
}

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
    m_device = std::make_unique<KelPeerThread>(
        ParseKelPeerArgs({"--option", m_serial ? SerialOption(kDeviceComPort) : DeviceServerOption(m_port)}).config);
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
    return m_serial ? SerialOption(m_engineComPort) : ClientOption(m_port);
}
