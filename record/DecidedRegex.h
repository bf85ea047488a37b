#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <memory>

// A regular expression on peer text whose every match is decided: a match that runs out of
// the compiled matcher's stack is run again by the interpreter, with bounded memory and
// steps, and one that still cannot be decided says so instead of passing for "no match".
// The syntax is the one QRegularExpression takes (Perl-compatible, Unicode text).
class DecidedRegex
{
public:
    enum class Outcome { Match, NoMatch, Undecided };
    enum class Anchoring { Search, Whole }; // anywhere in the text, or the whole text

    struct Result
    {
        Outcome outcome = Outcome::NoMatch;
        QStringList captured; // with Match: group 0 (the whole match) first; unset groups empty
        QString why;          // with Undecided: the limit that was reached
    };

    // How much a match may take before it is undecided.
    static constexpr std::uint32_t kMaxHeapKiB = 256 * 1024;
    static constexpr std::uint32_t kMaxSteps = 10'000'000;

    explicit DecidedRegex(const QString &pattern);
    ~DecidedRegex();
    DecidedRegex(const DecidedRegex &other);
    DecidedRegex &operator=(const DecidedRegex &other);
    DecidedRegex(DecidedRegex &&) noexcept;
    DecidedRegex &operator=(DecidedRegex &&) noexcept;

    QString pattern() const { return m_pattern; }
    bool isValid() const;
    // Why the pattern does not compile, and where (in characters).
    QString errorString() const { return m_error; }
    qsizetype errorOffset() const { return m_errorOffset; }

    Result match(QStringView subject, Anchoring anchoring = Anchoring::Search) const;

private:
    struct Compiled;
    QString m_pattern;
    std::shared_ptr<const Compiled> m_compiled; // immutable once made, so copies share it
    QString m_error;
    qsizetype m_errorOffset = -1;
};
