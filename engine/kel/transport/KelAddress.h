#pragma once

#include <QString>

class QHostAddress;

// "ip:port", with an IPv4-mapped IPv6 address shown as plain IPv4.
QString KelAddressText(const QHostAddress &address, quint16 port);
