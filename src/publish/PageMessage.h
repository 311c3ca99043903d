#pragma once

#include "routing/AliasBook.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

namespace publish {

// The six fields of a relayed page, as the packet carries them.
struct PageFields {
    QByteArray rate, frequency, function, address, type, text;
};

// The fields of a page; nothing for what is not a page: the frame notices,
// the idle and dummy messages, and any packet without the six fields.
std::optional<PageFields> ReadPage(const QByteArray& packet);

// What a broker's subscribers receive for one page: one JSON object,
// {"id","time","server","rate","frequency","function","address","type","text",
// "packet"}, in that order, with "alias" and "agency" after "address" when
// the Aliases table names the address (and the agency is given). Byte texts are mapped byte for
// byte to the code points of the same numbers (so the JSON is valid UTF-8 and nothing is lost);
// "packet" is the exact packet in base64.
QByteArray PageJson(qint64 id, const QDateTime& time, const QString& server,
                    const QByteArray& packet, const PageFields& page,
                    const std::optional<routing::Alias>& alias = std::nullopt);

// "<topic>/<address>".
QByteArray PageTopic(const QString& topic, const PageFields& page);

} // namespace publish
