#include "MivVariable.h"

#include "MivController.h"
#include "MivProvider.h"

MivVariable::MivVariable(MivController *controller, qint32 index, QString name)
    : m_controller(controller), m_index(index), m_name(std::move(name))
{
}

MivVariant MivVariable::Value() const
{
    return m_controller->provider().readVariable(m_name);
}

void MivVariable::setValue(const MivVariant &value)
{
    m_controller->provider().writeVariable(m_name, value);
}
