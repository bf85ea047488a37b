#pragma once

#include <QString>
#include <QStringList>

// The texts the main window shows: log captions and outcomes, status texts and window titles.

// A log line's caption ends in one or two tabs, so that the times of all lines line up.
namespace LogCaption {
inline const QString Connect = QStringLiteral("Connect\t\t");
inline const QString Disconnect = QStringLiteral("Disconnect\t");
inline const QString Send = QStringLiteral("[ Send ]\t\t");
inline const QString Result = QStringLiteral("[ Result ]\t\t");
inline const QString Receive = QStringLiteral("[ Receive ]\t");
inline const QString Reply = QStringLiteral("[ Reply ]\t\t");
inline const QString Clear = QStringLiteral("Clear\t\t");
inline const QString Set = QStringLiteral("Set\t\t");
inline const QString Performance = QStringLiteral("Performance\t");
inline const QStringList All = {Connect, Disconnect, Send, Result, Receive, Reply, Clear, Set, Performance};
} // namespace LogCaption

namespace LogOutcome {
inline const QString Succeeded = QStringLiteral("Succeeded");
inline const QString Failed = QStringLiteral("Failed");
} // namespace LogOutcome

namespace StatusText {
inline const QString Ready = QStringLiteral("Ready.");
inline const QString Connecting = QStringLiteral("Connecting...");
inline const QString Sending = QStringLiteral("Sending...");
inline const QString Wait = QStringLiteral("Wait.");
inline const QString Receiving = QStringLiteral("Receiving...");
} // namespace StatusText

namespace WindowTitle {
inline const QString Design = QStringLiteral("KELTester");
inline const QString NotConnected = QStringLiteral("KELTester - (No Connection)");
inline const QString ComClient = QStringLiteral("KELTester - (COM[Client], %1, %2)"); // port, mode
inline const QString ComServer = QStringLiteral("KELTester - (COM[Server], %1)");      // port
inline const QString EtherClient = QStringLiteral("KELTester - (Ether[Client], %1, %2)"); // address, mode
inline const QString EtherServer = QStringLiteral("KELTester - (Ether[Server], %1)");  // connections
inline const QString Sync = QStringLiteral("Sync");
inline const QString ASync = QStringLiteral("ASync");
} // namespace WindowTitle
