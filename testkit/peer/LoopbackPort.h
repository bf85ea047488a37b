#pragma once

#include <QByteArray>
#include <QtGlobal>

class QTcpSocket;

// A port on 127.0.0.1 that is free at the moment of asking (nothing listens on it).
quint16 FreePort();

// The next frame's body from a raw socket: bytes up to the terminator, which is dropped.
// Returns what came when the bounded wait runs out.
QByteArray ReadFrame(QTcpSocket &socket, int timeoutMs = 3000, char terminator = '\r');
