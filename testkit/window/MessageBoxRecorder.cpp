#include "MessageBoxRecorder.h"

#include "MessageBox.h"

MessageBoxRecorder::MessageBoxRecorder()
{
    SetMessageBoxHook([this](const QString &text) {
        m_texts << text;
        if (onShow)
            onShow(text);
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    SetMessageBoxHook({});
}
