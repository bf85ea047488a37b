#pragma once

#include "MivVariant.h"

#include <QStringList>

class MivController;

// One request of a controller, made of its parameters.
class MivCommand
{
public:
    MivCommand(MivController *controller, qint32 index, QString name);

    qint32 Index() const { return m_index; }
    QString Name() const { return m_name; }

    void setParameters(const QStringList &parameters) { m_parameters = parameters; }

    // Mode 0 (MivExecuteMode::Wait): send and wait for the answer (bounded by the controller's
    // Timeout); Result then holds it. Mode 1 (SendOnly): send only; the answer arrives as a
    // message. Throws MivError.
    void Execute(qint32 mode);
    MivVariant Result() const { return m_result; }

private:
    MivController *m_controller;
    qint32 m_index;
    QString m_name;
    QStringList m_parameters;
    MivVariant m_result;
};
