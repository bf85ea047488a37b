#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <cstdint>

// Appends one JSON object to a byte buffer, field by field, without building a document:
// the session record writes thousands of them a second on the user-interface thread.
// Names are written as given (plain ASCII); texts become UTF-8 with every control character,
// quote and backslash escaped, and a lone surrogate as U+FFFD.
class JsonObjectWriter
{
public:
    explicit JsonObjectWriter(QByteArray &out);

    void addText(const char *name, QStringView text);
    // A fixed ASCII word that needs no escaping: a record type, a direction, a kind.
    void addWord(const char *name, const char *word);
    void addInteger(const char *name, std::int64_t value);
    void addUnsigned(const char *name, std::uint64_t value);
    // Rounded to three decimals (a nanosecond of a microsecond figure); null when not finite.
    void addReal(const char *name, double value);
    // Lowercase hex pairs separated by blanks.
    void addHex(const char *name, QByteArrayView bytes);
    // A nested object, filled through the returned writer and closed by its finish().
    JsonObjectWriter addObject(const char *name);
    // A list of count objects, each filled by fill(index, writer).
    template<typename Fill>
    void addObjects(const char *name, qsizetype count, Fill &&fill)
    {
        addName(name);
        m_out += '[';
        for (qsizetype i = 0; i < count; ++i) {
            if (i)
                m_out += ',';
            JsonObjectWriter item(m_out);
            fill(i, item);
            item.finish();
        }
        m_out += ']';
    }
    void finish();

private:
    void addName(const char *name);

    QByteArray &m_out;
    bool m_first = true;
};
