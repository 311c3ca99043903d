#include "web/CsvText.h"

#include <QStringDecoder>

namespace web {

QByteArray CsvField(const QString& text) {
    QByteArray field = text.toUtf8();
    if (!field.contains(',') && !field.contains('"') && !field.contains('\r') &&
        !field.contains('\n'))
        return field;
    field.replace('"', QByteArrayLiteral("\"\""));
    return '"' + field + '"';
}

namespace {

// Reads a CSV text character by character into records.
class CsvReader {
public:
    CsvReader(const QString& text, qsizetype maxRecords) : text_(text), max_(maxRecords) {}

    CsvRecords read() {
        for (at_ = 0; at_ < text_.size() && read_.problem.isEmpty(); ++at_) {
            if (inQuotes_)
                quotedChar(text_[at_]);
            else
                plainChar(text_[at_]);
            if (read_.records.size() > max_)
                read_.problem = QStringLiteral("more than %1 lines").arg(max_);
        }
        if (inQuotes_)
            read_.problem = QStringLiteral("a quote is not closed");
        if (!field_.isEmpty() || !record_.isEmpty() || quoted_)
            endRecord();
        if (read_.records.size() > max_)
            read_.problem = QStringLiteral("more than %1 lines").arg(max_);
        if (!read_.problem.isEmpty())
            read_.records.clear();
        return read_;
    }

private:
    // Inside quotes, a doubled quote is one quote; a single one closes them.
    void quotedChar(QChar c) {
        if (c != QLatin1Char('"'))
            field_ += c;
        else if (at_ + 1 < text_.size() && text_[at_ + 1] == QLatin1Char('"'))
            field_ += text_[++at_];
        else
            inQuotes_ = false;
    }
    void plainChar(QChar c) {
        if (c == QLatin1Char('"') && field_.isEmpty() && !quoted_) {
            inQuotes_ = quoted_ = true;
        } else if (c == QLatin1Char(',')) {
            endField();
        } else if (c == QLatin1Char('\n')) {
            endRecord();
        } else if (c == QLatin1Char('\r') && at_ + 1 < text_.size() &&
                   text_[at_ + 1] == QLatin1Char('\n')) {
            return;
        } else if (quoted_) {
            read_.problem =
                QStringLiteral("line %1: text after a closing quote").arg(read_.records.size() + 1);
        } else {
            field_ += c;
        }
    }
    void endField() {
        record_ << field_;
        field_.clear();
        quoted_ = false;
    }
    // An empty line is no record.
    void endRecord() {
        const bool empty = record_.isEmpty() && field_.isEmpty() && !quoted_;
        endField();
        if (!empty)
            read_.records << record_;
        record_.clear();
    }

    const QString& text_;
    const qsizetype max_;
    qsizetype at_ = 0;
    CsvRecords read_;
    QStringList record_;
    QString field_;
    bool quoted_ = false;   // the field in hand was quoted
    bool inQuotes_ = false; // between its quotes
};

} // namespace

CsvRecords ReadCsv(const QByteArray& bytes, qsizetype maxRecords) {
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decode(bytes);
    if (decode.hasError())
        return {{}, QStringLiteral("the file is not UTF-8 text")};
    return CsvReader(text, maxRecords).read();
}

} // namespace web
