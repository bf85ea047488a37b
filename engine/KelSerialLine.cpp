#include "KelSerialLine.h"

#include "KelLink.h"
#include "MivError.h"

#include <QSerialPort>

#include <memory>

QString KelSerialLine::devicePath(int comPort)
{
    const QString over = qEnvironmentVariable(QStringLiteral("MIV_COM%1").arg(comPort).toLatin1().constData());
    if (!over.isEmpty())
        return over;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(comPort);
#else
    return QStringLiteral("/dev/ttyS%1").arg(comPort - 1);
#endif
}

KelSerialLine::KelSerialLine(const KelSettings &settings, KelLinkSink &sink, QObject *parent)
    : KelTransport(parent), m_path(devicePath(settings.serial.comPort))
{
    const KelSerialSettings &line = settings.serial;
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(m_path);
    port->setBaudRate(line.baudRate);
    port->setDataBits(line.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8);
    port->setParity(line.parity == 'E'   ? QSerialPort::EvenParity
                    : line.parity == 'O' ? QSerialPort::OddParity
                                         : QSerialPort::NoParity);
    port->setStopBits(line.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    // The line has one flow control; with both bits set hardware flow wins.
    port->setFlowControl((line.flow & 2)   ? QSerialPort::HardwareControl
                         : (line.flow & 1) ? QSerialPort::SoftwareControl
                                           : QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite))
        throw MivError(MivCode::Fail, QStringLiteral("Cannot open COM%1 (%2): %3")
                                          .arg(line.comPort)
                                          .arg(m_path, port->errorString()));
    m_link = new KelLink(port.release(), m_path, settings.packet, sink, this);
}

KelLink *KelSerialLine::target() const
{
    if (!m_link || !m_link->isOpen())
        throw MivError(MivCode::NotConnected, QStringLiteral("Not connected: %1 has closed").arg(m_path));
    return m_link;
}

QList<KelLink *> KelSerialLine::links() const
{
    if (m_link)
        return {m_link.data()};
    return {};
}
