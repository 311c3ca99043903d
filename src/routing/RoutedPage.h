#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace routing {

// The fields of a page that routes look at, as its packet carries them.
struct PageFacts {
    QByteArrayView rate, frequency, function, address, type, text;
};

// A page as every route sees it: what the terms compare is made once for all
// the outputs and publishers, not once for each.
class RoutedPage {
public:
    explicit RoutedPage(const PageFacts& facts);

    const PageFacts& Facts() const { return facts_; }
    // The address as a number; none when the field is not all digits.
    std::optional<quint32> Address() const { return address_; }
    // The text with ASCII letters in lower case; other bytes as they are.
    const QByteArray& FoldedText() const;
    // The text with byte b as code point b, for regular expressions.
    const QString& Text() const;

private:
    PageFacts facts_;
    std::optional<quint32> address_;
    mutable std::optional<QByteArray> folded_;
    mutable std::optional<QString> text_;
};

} // namespace routing
