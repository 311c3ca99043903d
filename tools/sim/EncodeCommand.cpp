#include "EncodeCommand.h"

#include "PageList.h"
#include "SatelliteStream.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>
#include <optional>

namespace sim {

const char* const kEncodeUsage =
    "encode PAGES OUT [--freq 1|2] [--rate 512|1200] [--preamble BYTES] [--pages-per-block N]\n"
    "    Writes the satellite stream that carries the pages of PAGES to OUT (\"-\": standard\n"
    "    input or output). PAGES holds one page a line: RIC, function letter A-D, type\n"
    "    (A alphanumeric, N numeric, T tone only), then the text to the end of the line;\n"
    "    lines starting with # are comments. Defaults: --freq 1 --rate 1200 --preamble 72\n"
    "    --pages-per-block 10.\n";

namespace {

struct EncodeArgs {
    QString pages;
    QString out;
    StreamOptions options;
};

std::optional<int> NumberIn(const QString& text, int lowest, int highest) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

// Reads one option with its value; returns the error, if any.
QString ReadOption(const QString& name, const QString& value, StreamOptions& options) {
    if (name == QLatin1String("--freq")) {
        const auto v = NumberIn(value, 1, 2);
        if (!v)
            return QStringLiteral("--freq takes 1 or 2, not \"%1\"").arg(value);
        options.frequency = *v;
    } else if (name == QLatin1String("--rate")) {
        if (value != QLatin1String("512") && value != QLatin1String("1200"))
            return QStringLiteral("--rate takes 512 or 1200, not \"%1\"").arg(value);
        options.rate = value.toInt();
    } else if (name == QLatin1String("--preamble")) {
        const auto v = NumberIn(value, 1, 1 << 20);
        if (!v)
            return QStringLiteral("--preamble takes a number of bytes from 1, not \"%1\"")
                .arg(value);
        options.preambleBytes = *v;
    } else if (name == QLatin1String("--pages-per-block")) {
        const auto v = NumberIn(value, 1, 1 << 20);
        if (!v)
            return QStringLiteral("--pages-per-block takes a number from 1, not \"%1\"").arg(value);
        options.pagesPerBlock = *v;
    } else {
        return QStringLiteral("unknown option \"%1\"").arg(name);
    }
    return {};
}

QString ParseArgs(const QStringList& args, EncodeArgs& parsed) {
    QStringList positional;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg.startsWith(QLatin1String("--"))) {
            if (i + 1 >= args.size())
                return QStringLiteral("%1 needs a value").arg(arg);
            QString error = ReadOption(arg, args[++i], parsed.options);
            if (!error.isEmpty())
                return error;
        } else {
            positional.append(arg);
        }
    }
    if (positional.size() != 2)
        return QStringLiteral("encode takes PAGES and OUT");
    parsed.pages = positional[0];
    parsed.out = positional[1];
    return {};
}

std::optional<QByteArray> ReadPages(const QString& path, QString& error) {
    QFile file;
    const bool opened = path == QLatin1String("-")
                            ? file.open(stdin, QIODevice::ReadOnly)
                            : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return file.readAll();
}

// Writes all or nothing: a failed run leaves no half stream behind.
QString WriteStream(const QString& path, const QByteArray& stream) {
    if (path == QLatin1String("-")) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || out.write(stream) != stream.size())
            return QStringLiteral("cannot write the stream to standard output");
        return {};
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(stream) != stream.size() || !file.commit())
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return {};
}

} // namespace

int RunEncode(const QStringList& args, QTextStream& out, QTextStream& err) {
    EncodeArgs parsed;
    const QString argError = ParseArgs(args, parsed);
    if (!argError.isEmpty()) {
        err << "ombrix-sim: " << argError << "\nusage: ombrix-sim " << kEncodeUsage;
        return 2;
    }
    QString error;
    const auto content = ReadPages(parsed.pages, error);
    if (!content) {
        err << "ombrix-sim: " << error << '\n';
        return 1;
    }
    const PageListResult list = ParsePageList(*content);
    if (!list.error.isEmpty()) {
        err << "ombrix-sim: " << parsed.pages << ": " << list.error << '\n';
        return 1;
    }
    const QByteArray stream = EncodeStream(list.pages, parsed.options);
    error = WriteStream(parsed.out, stream);
    if (!error.isEmpty()) {
        err << "ombrix-sim: " << error << '\n';
        return 1;
    }
    const qsizetype blocks =
        (list.pages.size() + parsed.options.pagesPerBlock - 1) / parsed.options.pagesPerBlock;
    QTextStream& report = parsed.out == QLatin1String("-") ? err : out;
    report << "encoded " << list.pages.size() << (list.pages.size() == 1 ? " page" : " pages")
           << " in " << blocks << (blocks == 1 ? " block: " : " blocks: ") << stream.size()
           << " bytes\n";
    return 0;
}

} // namespace sim
