#include "KelSerialLine.h"

#include "KelLink.h"
#include "KelSerialStream.h"
#include "MivError.h"

#include <QFileInfo>
#include <QSerialPort>

#include <memory>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#endif

namespace {
const QString kInUse = QStringLiteral("the device is in use by another program");
} // namespace

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
    // One device, one lock, whatever path names it: a link such as /dev/serial/by-id/... is
    // opened and locked as the device it points to.
    const QString device = QFileInfo(m_path).canonicalFilePath();
    const QString named = device.isEmpty() || device == m_path ? m_path
                                                               : QStringLiteral("%1, that is %2").arg(m_path, device);
    auto refuse = [&](const QString &why) {
        return MivError(MivCode::Fail, QStringLiteral("Cannot open COM%1 (%2): %3").arg(line.comPort).arg(named, why));
    };
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(device.isEmpty() ? m_path : device);
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
    if (!port->open(QIODevice::ReadWrite)) {
        // The port's lock file is taken: say so rather than "permission error".
        const bool locked = port->error() == QSerialPort::PermissionError
                            && port->errorString().contains(QLatin1String("lock"), Qt::CaseInsensitive);
        throw refuse(locked ? kInUse : port->errorString());
    }
#ifdef Q_OS_UNIX
    // The system's lock on the device itself, which every path to it shares; the port's own
    // lock file is named after a path, and its exclusive mode does not bind a superuser.
    if (::flock(int(port->handle()), LOCK_EX | LOCK_NB) != 0)
        throw refuse(kInUse);
#endif
    m_link = new KelLink(std::make_unique<KelSerialStream>(port.release()), m_path, settings.packet, sink, this);
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
