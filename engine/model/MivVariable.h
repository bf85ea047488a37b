#pragma once

#include "MivVariant.h"

class MivController;

// A device value named "part:number:sub". Reading and writing wait like a synchronous
// command and throw MivError.
class MivVariable
{
public:
    MivVariable(MivController *controller, qint32 index, QString name);

    qint32 Index() const { return m_index; }
    QString Name() const { return m_name; }

    MivVariant Value() const;
    void setValue(const MivVariant &value);

private:
    MivController *m_controller;
    qint32 m_index;
    QString m_name;
};
