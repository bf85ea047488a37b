#include "MivCommand.h"

#include "KelAnswer.h"
#include "MivController.h"
#include "MivError.h"

MivCommand::MivCommand(MivController *controller, qint32 index, QString name)
    : m_controller(controller), m_index(index), m_name(std::move(name))
{
}

void MivCommand::Execute(qint32 mode)
{
    const QString request = m_parameters.join(u':');
    m_result = {};
    switch (mode) {
    case 0:
        m_result = KelAnswerValue(ParseKelAnswer(m_controller->transact(request)), request);
        return;
    case 1:
        m_controller->send(request);
        return;
    default:
        throw MivError(MivCode::InvalidArg,
                       QStringLiteral("Execute mode %1: 0 (wait for the answer) or 1 (send only)").arg(mode));
    }
}
