#pragma once

#include <QHostAddress>

// A peer as it is compared and shown: an IPv4 peer that a dual-stack listener
// sees as an IPv4-mapped IPv6 address is its IPv4 address.
QHostAddress PlainAddress(const QHostAddress& address);
