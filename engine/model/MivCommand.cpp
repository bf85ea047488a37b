#include "MivCommand.h"

#include "MivController.h"
#include "MivError.h"
#include "MivProvider.h"

MivCommand::MivCommand(MivController *controller, qint32 index, QString name)
    : m_controller(controller), m_index(index), m_name(std::move(name))
{
}

void MivCommand::Execute(qint32 mode)
{
    m_result = {};
    if (mode != MivExecuteMode::Wait && mode != MivExecuteMode::SendOnly)
        throw MivError(MivCode::InvalidArg,
                       QStringLiteral("Execute mode %1: 0 (wait for the answer) or 1 (send only)").arg(mode));
    m_result = m_controller->provider().runCommand(m_parameters, MivExecuteMode::Mode(mode));
}
