#include "publish/PageMessage.h"

#include "publish/JsonText.h"

namespace publish {

namespace {

constexpr char kSTX = '\x02';
constexpr char kCR = '\r';
constexpr char kETX = '\x03';

// Addresses no pager has: the decoder's frame notices and the idle message.
constexpr const char* kNoticeAddress = "1234566";
constexpr const char* kIdleAddress = "1234568";

// A byte text as a JSON string: byte b becomes code point b.
QByteArray JsonBytes(const QByteArray& bytes) {
    return JsonString(QString::fromLatin1(bytes));
}

} // namespace

std::optional<PageFields> ReadPage(const QByteArray& packet) {
    if (packet.size() < 2 || packet.front() != kSTX || packet.back() != kETX)
        return std::nullopt;
    const QByteArray body = packet.mid(1, packet.size() - 2);
    QByteArray fields[5];
    qsizetype from = 0;
    for (QByteArray& field : fields) {
        const qsizetype end = body.indexOf(kCR, from);
        if (end < 0)
            return std::nullopt;
        field = body.mid(from, end - from);
        from = end + 1;
    }
    // The text is the rest: a CR in it belongs to the text.
    PageFields page{fields[0], fields[1], fields[2], fields[3], fields[4], body.mid(from)};
    if (page.address == kNoticeAddress || page.address == kIdleAddress)
        return std::nullopt;
    return page;
}

QByteArray PageJson(qint64 id, const QDateTime& time, const QString& server,
                    const QByteArray& packet, const PageFields& page,
                    const std::optional<routing::Alias>& alias) {
    QByteArray json;
    json.reserve(packet.size() * 3 + 200);
    json += "{\"id\":" + QByteArray::number(id);
    json += ",\"time\":" + JsonString(IsoTime(time));
    json += ",\"server\":" + JsonString(server);
    json += ",\"rate\":" + JsonBytes(page.rate);
    json += ",\"frequency\":" + JsonBytes(page.frequency);
    json += ",\"function\":" + JsonBytes(page.function);
    json += ",\"address\":" + JsonBytes(page.address);
    if (alias) {
        json += ",\"alias\":" + JsonString(alias->name);
        if (!alias->agency.isEmpty())
            json += ",\"agency\":" + JsonString(alias->agency);
    }
    json += ",\"type\":" + JsonBytes(page.type);
    json += ",\"text\":" + JsonBytes(page.text);
    json += ",\"packet\":\"" + packet.toBase64() + "\"}";
    return json;
}

QByteArray PageTopic(const QString& topic, const PageFields& page) {
    return topic.toUtf8() + '/' + page.address;
}

} // namespace publish
