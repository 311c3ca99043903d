#include "routing/RoutedPage.h"

namespace routing {

namespace {

std::optional<quint32> Number(QByteArrayView digits) {
    constexpr int kMaxDigits = 9; // below 2^32 whatever the digits
    if (digits.isEmpty() || digits.size() > kMaxDigits)
        return std::nullopt;
    quint32 value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + quint32(c - '0');
    }
    return value;
}

} // namespace

RoutedPage::RoutedPage(const PageFacts& facts) : facts_(facts), address_(Number(facts.address)) {}

const QByteArray& RoutedPage::FoldedText() const {
    if (!folded_) {
        QByteArray folded(facts_.text.data(), facts_.text.size());
        for (char& c : folded)
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        folded_ = std::move(folded);
    }
    return *folded_;
}

const QString& RoutedPage::Text() const {
    if (!text_)
        text_ = QString::fromLatin1(facts_.text);
    return *text_;
}

} // namespace routing
