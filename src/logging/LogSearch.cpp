#include "logging/LogSearch.h"

#include "logging/ReverseLines.h"

namespace logsearch {

namespace {

// The parts of one line of the System log.
struct LineParts {
    QByteArray timeText; // "" without a time
    QByteArray tag;
    QByteArray text;
};

LineParts Split(const QByteArray& line) {
    LineParts parts;
    const qsizetype first = line.indexOf('\t');
    if (first < 0) {
        parts.text = line;
        return parts;
    }
    parts.timeText = line.left(first);
    const qsizetype second = line.indexOf('\t', first + 1);
    const QByteArray field = line.mid(first + 1, second < 0 ? -1 : second - first - 1);
    if (second >= 0 && Tags().contains(field)) {
        parts.tag = field;
        parts.text = line.mid(second + 1);
    } else {
        parts.text = line.mid(first + 1);
    }
    return parts;
}

bool ContainsAnyCase(const QByteArray& line, const QByteArray& text) {
    if (text.isEmpty())
        return true;
    if (line.size() < text.size())
        return false;
    const qsizetype last = line.size() - text.size();
    for (qsizetype at = 0; at <= last; ++at)
        if (qstrnicmp(line.constData() + at, text.constData(), text.size()) == 0)
            return true;
    return false;
}

class Search {
public:
    Search(const Query& query, const platform::DateTimeText& texts)
        : query_(query), texts_(texts) {}

    // False once the search has enough or must stop.
    bool Scan(const logfiles::LogFile& file, const std::atomic<bool>& cancelled) {
        ReverseLines lines(file.path);
        QByteArray line;
        while (lines.Previous(line)) {
            if (cancelled.load(std::memory_order_relaxed) ||
                scanned_ + lines.BytesRead() > Query::kMaxScannedBytes ||
                result_.lines.size() >= query_.limit) {
                result_.truncated = true;
                return false;
            }
            take(file.name, line);
        }
        scanned_ += lines.BytesRead();
        return true;
    }

    Result Take() { return std::move(result_); }

private:
    void take(const QString& file, const QByteArray& line) {
        if (!ContainsAnyCase(line, query_.text))
            return;
        LineParts parts = Split(line);
        if (!query_.tag.isEmpty() && parts.tag != query_.tag)
            return;
        std::optional<QDateTime> time;
        if (!parts.timeText.isEmpty())
            time = texts_.ParseDateTime(QString::fromUtf8(parts.timeText));
        if (!time)
            parts.text = line; // the whole line: its first field is no time
        if ((query_.from || query_.to) && !time)
            return;
        if ((query_.from && *time < *query_.from) || (query_.to && *time > *query_.to))
            return;
        result_.lines << FoundLine{file, time, parts.tag, parts.text};
    }

    const Query& query_;
    const platform::DateTimeText& texts_;
    Result result_;
    qint64 scanned_ = 0;
};

} // namespace

const QList<QByteArray>& Tags() {
    static const QList<QByteArray> tags = {"Error", "Input", "Output"};
    return tags;
}

Result SearchSystemLog(const QList<logfiles::LogFile>& files, const Query& query,
                       const platform::DateTimeText& texts, const std::atomic<bool>& cancelled) {
    Search search(query, texts);
    for (const logfiles::LogFile& file : files) {
        // A back-up made before the range began holds nothing for it, nor do
        // the older ones after it.
        if (query.from && file.backedUp.isValid() && file.backedUp < *query.from)
            break;
        if (!search.Scan(file, cancelled))
            break;
    }
    return search.Take();
}

} // namespace logsearch
