#include "MivController.h"

#include "MivError.h"
#include "MivProvider.h"

MivController::MivController(qint32 index, QString name, std::unique_ptr<MivProvider> provider)
    : m_index(index), m_name(std::move(name)), m_provider(std::move(provider))
{
    connect(m_provider.get(), &MivProvider::message, this, &MivController::OnMessage);
    connect(m_provider.get(), &MivProvider::transactDone, this, &MivController::transactDone);
}

MivController::~MivController() = default;

MivVariant MivController::Execute(const QString &command, const MivVariant &parameter)
{
    if (command.compare(QLatin1String("Send"), Qt::CaseInsensitive) == 0) {
        if (parameter.type() != VT_BSTR)
            throw MivError(MivCode::TypeMismatch,
                           QStringLiteral("Send takes a text (VT_BSTR), not %1").arg(MivTypeName(parameter.type())));
        m_provider->send(parameter.bstr());
        return {};
    }
    if (command.compare(QLatin1String("Clear"), Qt::CaseInsensitive) == 0) {
        m_provider->clear();
        return {};
    }
    throw MivError(MivCode::NotImpl,
                   QStringLiteral("Unknown command \"%1\": the commands are Send and Clear").arg(command));
}

MivCommand *MivController::AddCommand(const QString &name, const QString &)
{
    const qint32 index = m_commands.nextIndex();
    return m_commands.insert(index, std::make_unique<MivCommand>(this, index, name));
}

MivVariable *MivController::AddVariable(const QString &name, const QString &)
{
    if (name.count(u':') != 2)
        throw MivError(MivCode::InvalidArg,
                       QStringLiteral("Variable \"%1\": the name is part:number:sub").arg(name));
    const qint32 index = m_variables.nextIndex();
    return m_variables.insert(index, std::make_unique<MivVariable>(this, index, name));
}

QString MivController::transact(const QString &request)
{
    return m_provider->transact(request);
}

QString MivController::transact(const QString &request, int timeoutMs)
{
    return m_provider->transact(request, timeoutMs);
}

void MivController::startTransact(const QString &request, int timeoutMs)
{
    m_provider->startTransact(request, timeoutMs);
}

QString MivController::localAddress() const
{
    return m_provider->localAddress();
}

QString MivController::requestPeer() const
{
    return m_provider->requestPeer();
}

void MivController::setTap(MivTap *tap)
{
    m_provider->setTap(tap);
}

bool MivController::isOpen() const
{
    return m_provider->isOpen();
}

void MivController::Reopen()
{
    m_provider->reopen();
}
