#include "MivVariable.h"

#include "KelAnswer.h"
#include "MivController.h"
#include "MivConverter.h"
#include "MivError.h"

MivVariable::MivVariable(MivController *controller, qint32 index, QString name)
    : m_controller(controller), m_index(index), m_name(std::move(name))
{
}

MivVariant MivVariable::Value() const
{
    const QString request = QStringLiteral("GET:%1:").arg(m_name);
    const QString text = m_controller->transact(request);
    const KelAnswer answer = ParseKelAnswer(text);
    if (answer.hresult >= 0 && !answer.hasValue)
        throw MivError(MivCode::TypeMismatch,
                       QStringLiteral("Reading %1: the answer \"%2\" holds no value").arg(m_name, text));
    return KelAnswerValue(answer, request);
}

void MivVariable::setValue(const MivVariant &value)
{
    const QString request = QStringLiteral("PUT:%1:%2").arg(m_name, MivConverter().ValueToText(value, 0));
    KelAnswerValue(ParseKelAnswer(m_controller->transact(request)), request);
}
