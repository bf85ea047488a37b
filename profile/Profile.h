#pragma once

#include "ConnSettings.h"

#include <QString>

// The performance window's settings as a value: what an opening starts from, and what it had
// when it closed. The defaults are the window's own.
struct PerfSettings
{
    enum Pattern { Time = 0, Count = 1, Infinite = 2 };         // the indexes of optPattern
    enum Mode { Read = 0, Write = 1, WriteRead = 2 };           // the indexes of optReadWrite
    static constexpr int kMaxHours = 500;
    static constexpr int kMaxMinutes = 59;
    static constexpr int kMinCount = 1;
    static constexpr int kMaxCount = 65535;

    int pattern = Count;
    int hours = 0;
    int minutes = 1;
    int count = 1;
    int mode = Read;
    bool dataCheck = false;
    QString valueType = QStringLiteral("BSTR"); // a text of the short type list
    QString value;
    bool ignoreError = false;
    bool outputDebug = false;

    friend bool operator==(const PerfSettings &, const PerfSettings &) = default;
};

// The main window's Reply panel: the fields as they stand after their checks.
struct ReplySettings
{
    qint32 hresult = 0;
    QString type = QStringLiteral("(nothing)"); // a text of the reply type list
    QString value;
    qint32 delay = 0;

    friend bool operator==(const ReplySettings &, const ReplySettings &) = default;
};

// What a user set, kept in a file: the connection dialog, the Reply panel, the performance
// target and window, Reconnect Automatically, and whether the tester was connected.
struct Profile
{
    ConnSettings connection;
    bool connected = false; // connect as soon as the profile is opened
    bool reconnect = false;
    ReplySettings reply;
    QString target[3];      // the performance target's three parts
    PerfSettings performance;

    friend bool operator==(const Profile &, const Profile &) = default;
};
