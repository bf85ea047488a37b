#pragma once

#include <QString>

class MivVariant;

// What a tester session shows and asks of the window that carries it.
class TesterOutput
{
public:
    virtual ~TesterOutput() = default;

    // A log line; quiet while logging is off. Throws MivError for a Null or array value,
    // before anything is appended.
    virtual void AddLog(const QString &caption, const MivVariant &value) = 0;
    virtual void AddLog(const QString &caption, const QString &value) = 0;
    // The status text; quiet while logging is off.
    virtual void SetStatus(const QString &text) = 0;
    // A message box with the description; it runs events, so the controller may go meanwhile.
    virtual void ShowFailure(const QString &description) = 0;
    // The reason behind a "Failed" log line, for the Traffic pane and the recording.
    virtual void NoteFailure(const QString &description) = 0;
    // Whether a client's answers are logged taken apart.
    virtual bool InterpretAnswers() const = 0;
};
