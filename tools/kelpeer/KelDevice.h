#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The simulated device's answers: START/STOP, PUT stores a value text, GET returns it.
class KelDevice
{
public:
    explicit KelDevice(QStringList failPrefixes = {}) : m_failPrefixes(std::move(failPrefixes)) {}

    // The answer text ("hresult[,type,value]") to one request.
    QString answer(const QString &request);

    // The stored value text of "part:number:sub", "0" when never written.
    QString value(const QString &key) const { return m_values.value(key, QStringLiteral("0")); }
    void store(const QString &key, const QString &valueText) { m_values.insert(key, valueText); }

private:
    QStringList m_failPrefixes;
    QHash<QString, QString> m_values; // "part:number:sub" -> value text
};
