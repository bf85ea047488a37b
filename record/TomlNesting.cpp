#include "TomlNesting.h"

#include <vector>

namespace {

enum class Where { LineStart, Key, Value, Header, AfterHeader };

struct Level
{
    int base;
    int keyParts;
    bool inlineTable;
    bool inKey; // an inline table before its '='
};

class Scanner
{
public:
    Scanner(QByteArrayView text, int maxDepth) : m_text(text), m_max(maxDepth) {}

    std::optional<int> run()
    {
        while (m_at < m_text.size() && !m_problem) {
            const char c = m_text[m_at];
            if (c == '\n') {
                newLine();
            } else if (c == '#') {
                skipComment();
                continue;
            } else if (c == '"' || c == '\'') {
                startKeyIfAtLineStart();
                skipString(c);
                continue;
            } else if (c != ' ' && c != '\t' && c != '\r') {
                token(c);
            }
            ++m_at;
        }
        return m_problem;
    }

private:
    bool inKey() const
    {
        if (!m_levels.empty())
            return m_levels.back().inlineTable && m_levels.back().inKey;
        return m_where == Where::Key || m_where == Where::Header || m_where == Where::LineStart;
    }

    void check()
    {
        if (m_base + m_keyParts > m_max && !m_problem)
            m_problem = m_line;
    }

    void newLine()
    {
        ++m_line;
        if (m_levels.empty()) {
            m_where = Where::LineStart;
            m_keyParts = 0;
        }
    }

    void startKeyIfAtLineStart()
    {
        if (m_levels.empty() && m_where == Where::LineStart) {
            m_where = Where::Key;
            m_keyParts = 1;
        } else if (!m_levels.empty() && m_levels.back().inKey && m_keyParts == 0) {
            m_keyParts = 1;
        }
        check();
    }

    void push(bool inlineTable)
    {
        m_levels.push_back(Level{m_base, m_keyParts, inlineTable, inlineTable});
        m_base += m_keyParts + 1;
        m_keyParts = 0;
        check();
    }

    void pop()
    {
        if (m_levels.empty())
            return;
        m_base = m_levels.back().base;
        m_keyParts = m_levels.back().keyParts;
        m_levels.pop_back();
    }

    void token(char c)
    {
        if (c == '[' && m_levels.empty() && m_where == Where::LineStart) {
            m_where = Where::Header;
            m_base = 0;
            m_keyParts = 1;
            if (m_at + 1 < m_text.size() && m_text[m_at + 1] == '[')
                ++m_at;
            return;
        }
        if (c == ']' && m_levels.empty() && m_where == Where::Header) {
            m_base = m_keyParts;
            m_keyParts = 0;
            m_where = Where::AfterHeader;
            return;
        }
        if ((c == '[' || c == '{') && !inKey()) {
            push(c == '{');
            return;
        }
        if ((c == ']' && !m_levels.empty() && !m_levels.back().inlineTable)
            || (c == '}' && !m_levels.empty() && m_levels.back().inlineTable)) {
            pop();
            return;
        }
        if (c == '=' && inKey()) {
            if (m_levels.empty())
                m_where = Where::Value;
            else
                m_levels.back().inKey = false;
            return;
        }
        if (c == ',' && !m_levels.empty() && m_levels.back().inlineTable) {
            m_levels.back().inKey = true;
            m_keyParts = 0;
            return;
        }
        if (c == '.' && inKey()) {
            ++m_keyParts;
            check();
            return;
        }
        startKeyIfAtLineStart();
    }

    void skipComment()
    {
        while (m_at < m_text.size() && m_text[m_at] != '\n')
            ++m_at;
    }

    // From an opening quote to just past the closing one; a multi-line string counts its lines.
    void skipString(char quote)
    {
        const bool multi = m_text.sliced(m_at).startsWith(QByteArrayView(quote == '"' ? "\"\"\"" : "'''"));
        m_at += multi ? 3 : 1;
        while (m_at < m_text.size()) {
            const char c = m_text[m_at];
            if (c == '\\' && quote == '"') {
                if (m_at + 1 < m_text.size() && m_text[m_at + 1] == '\n')
                    ++m_line;
                m_at += 2;
                continue;
            }
            if (c == '\n') {
                if (!multi)
                    return; // an unclosed string: the parser says so
                ++m_line;
            }
            if (c == quote && (!multi || m_text.sliced(m_at).startsWith(QByteArrayView(quote == '"' ? "\"\"\"" : "'''")))) {
                m_at += multi ? 3 : 1;
                return;
            }
            ++m_at;
        }
    }

    QByteArrayView m_text;
    int m_max;
    qsizetype m_at = 0;
    int m_line = 1;
    Where m_where = Where::LineStart;
    int m_base = 0;     // depth of the enclosing table, array or inline table
    int m_keyParts = 0; // parts of the key being read (or the value's key)
    std::vector<Level> m_levels;
    std::optional<int> m_problem;
};

} // namespace

std::optional<int> FindDeepTomlNesting(QByteArrayView text, int maxDepth)
{
    return Scanner(text, maxDepth).run();
}
