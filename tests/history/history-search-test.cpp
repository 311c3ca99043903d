// The History page's searches on a real history.mdb: pages found by address,
// words, time, carrier, function and type, newest first and page by page;
// a page's trail; the audit rows.

#include "HistoryFile.h"

#include "history/HistorySearch.h"
#include "history/PagePlans.h"
#include "platform/Connection.h"
#include "platform/Error.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace {

// 10 December 2026 05:01:02.345 in Sydney, in UTC milliseconds.
constexpr qint64 kT0 = 1796842862345LL;

// history.mdb in a temporary folder: written by plain SQL as the archive
// writes it, searched on a read-only connection as the console searches it.
class Archive {
public:
    Archive() {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), writerName_);
            db.setDatabaseName(path());
            if (!db.open())
                throw std::runtime_error("cannot create history.mdb");
            CreateHistoryTables(db);
        }
        history::OpenReader(path(), readerName_);
    }
    ~Archive() {
        platform::CloseDatabase(readerName_);
        platform::CloseDatabase(writerName_);
    }
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    QString path() const { return dir_.filePath(QStringLiteral("history.mdb")); }
    QSqlDatabase writer() const { return QSqlDatabase::database(writerName_, false); }
    QSqlDatabase reader() const { return QSqlDatabase::database(readerName_, false); }

    void add(const HistoryPage& page) const { AddHistoryPage(writer(), page); }
    // Many rows in one transaction, as the archive writes a batch.
    void addAll(const QList<HistoryPage>& pages) const {
        QSqlDatabase db = writer();
        db.transaction();
        for (const HistoryPage& page : pages)
            AddHistoryPage(db, page);
        db.commit();
    }

    history::PageResult find(const history::PageQuery& query) const {
        return history::FindPages(reader(), query);
    }

private:
    QTemporaryDir dir_;
    QString writerName_ = QStringLiteral("history-writer");
    QString readerName_ = QStringLiteral("history-reader");
};

HistoryPage Page(qint64 id, const QVariant& address, const QByteArray& text) {
    HistoryPage page;
    page.id = id;
    page.timeMs = kT0 + id * 1000;
    page.address = address;
    page.text = text;
    return page;
}

QList<qint64> Ids(const history::PageResult& result) {
    QList<qint64> ids;
    for (const history::PageRow& row : result.pages)
        ids << row.id;
    return ids;
}

history::PageQuery Text(const QString& text) {
    history::PageQuery query;
    query.text = text;
    return query;
}

// What a search that is refused says; "" when it was answered.
QString Refusal(Archive& archive, const history::PageQuery& query) {
    try {
        archive.find(query);
        return {};
    } catch (const platform::Error& error) {
        return error.text();
    }
}

history::PageQuery Addresses(qint64 from, qint64 to) {
    history::PageQuery query;
    query.addressFrom = from;
    query.addressTo = to;
    return query;
}

// Every page a search finds, following `next` from page to page.
QList<qint64> AllPages(const std::function<history::PageResult(const history::PageQuery&)>& find,
                       history::PageQuery query) {
    QList<qint64> ids;
    for (int pages = 0; pages < 1000; ++pages) {
        const history::PageResult result = find(query);
        ids += Ids(result);
        if (!result.next)
            return ids;
        if (result.pages.size() != query.limit)
            throw std::runtime_error("a short page with a next");
        query.before = result.next;
    }
    throw std::runtime_error("paging does not end");
}

// Pages with words, addresses, times and feeds mixed so that every search
// below finds some and misses some; their own copy stands for what a search
// should find.
struct Mixed {
    HistoryPage page;
    QSet<QString> words;
};

QList<Mixed> MixedPages(int count) {
    const QList<QVariant> addresses = {1000001, 1000002, 1000003, 1100000,
                                       1199999, 1200000, 42,      QVariant()};
    const QStringList words = {"fire", "ambulance", "police", "harbour", "king", "drill"};
    QList<Mixed> pages;
    for (int i = 1; i <= count; ++i) {
        Mixed mixed;
        mixed.page.id = i;
        mixed.page.timeMs = kT0 + (i / 3) * 1000; // three pages share each millisecond
        mixed.page.address = addresses[(i * 7) % addresses.size()];
        QStringList text;
        for (int w = 0; w < words.size(); ++w)
            if ((i * (w + 3)) % (w + 2) == 0) {
                text << words[w].toUpper() << QString::number(i % 50);
                mixed.words << words[w];
            }
        mixed.page.text = text.join(QLatin1Char(' ')).toLatin1();
        mixed.page.function = QString(QChar('A' + i % 4));
        mixed.page.type = i % 5 ? QStringLiteral("A") : QStringLiteral("N");
        mixed.page.carrier = i % 3 ? QStringLiteral("Sat Feed 1") : QStringLiteral("Sat Feed 2");
        pages << mixed;
    }
    return pages;
}

QList<qint64> Expected(const QList<Mixed>& pages, const std::function<bool(const Mixed&)>& wanted) {
    QList<qint64> ids;
    for (auto it = pages.crbegin(); it != pages.crend(); ++it)
        if (wanted(*it))
            ids << it->page.id;
    return ids;
}

bool InRange(const Mixed& m, qint64 from, qint64 to) {
    return !m.page.address.isNull() && m.page.address.toLongLong() >= from &&
           m.page.address.toLongLong() <= to;
}

// Each way of searching addresses, by the bounds that choose it.
QList<std::pair<const char*, history::SearchBounds>> Plans() {
    constexpr int kAll = 1000000;
    return {
        {"as found", {}},
        {"on the index alone", {kAll, kAll, kAll}},
        {"walking the pages", {0, 0, 0}},
        {"in windows", {0, 0, kAll}},
        {"in small windows", {0, 0, kAll, 5}},
        {"in windows of one address at a time", {0, 0, 1, 5}},
    };
}

} // namespace

class HistorySearchTest : public QObject {
    Q_OBJECT

private slots:
    void findsOneAddressOrARangeNewestFirst() {
        Archive archive;
        archive.add(Page(1, 1234567, "AMB 1"));
        archive.add(Page(2, 1234568, "AMB 2"));
        archive.add(Page(3, 1300000, "FIRE 3"));
        archive.add(Page(4, 1234567, "AMB 4"));
        archive.add(Page(5, 42, "TEST 5"));
        archive.add(Page(6, QVariant(), "NO ADDRESS 6"));

        QCOMPARE(Ids(archive.find(Addresses(1234567, 1234567))), QList<qint64>({4, 1}));
        history::PageQuery one;
        one.addressFrom = 1234567; // one end alone is one address
        QCOMPARE(Ids(archive.find(one)), QList<qint64>({4, 1}));
        QCOMPARE(Ids(archive.find(Addresses(1234500, 1299999))), QList<qint64>({4, 2, 1}));
        QCOMPARE(Ids(archive.find(Addresses(1299999, 1234500))), QList<qint64>({4, 2, 1}));
        QCOMPARE(Ids(archive.find(Addresses(0, 9999999))), QList<qint64>({5, 4, 3, 2, 1}));
        QCOMPARE(Ids(archive.find(Addresses(1234569, 1299999))), QList<qint64>());
        QCOMPARE(Ids(archive.find({})), QList<qint64>({6, 5, 4, 3, 2, 1}));

        // The address as the packet carries it: seven digits; none when not a number.
        const history::PageResult all = archive.find({});
        QCOMPARE(all.pages[1].address, QStringLiteral("0000042"));
        QCOMPARE(all.pages[0].address, QString());
        QCOMPARE(all.pages[2].address, QStringLiteral("1234567"));
    }

    void findsWordsPhrasesPrefixesAndCombinations_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<qint64>>("ids");
        QTest::newRow("a word, any case") << "harbour" << QList<qint64>{2, 1};
        QTest::newRow("two words, both") << "fire harbour" << QList<qint64>{2};
        QTest::newRow("a phrase") << "\"house fire\"" << QList<qint64>{2};
        QTest::newRow("words not side by side") << "\"fire house\"" << QList<qint64>{};
        QTest::newRow("a prefix") << "harb*" << QList<qint64>{2, 1};
        QTest::newRow("either") << "fire OR police" << QList<qint64>{4, 3, 2};
        QTest::newRow("one without the other") << "fire NOT drill" << QList<qint64>{2};
        QTest::newRow("a number") << "45" << QList<qint64>{1};
        QTest::newRow("an address in the text") << "\"45 harbour st\"" << QList<qint64>{1};
        QTest::newRow("no page has it") << "tsunami" << QList<qint64>{};
        QTest::newRow("spaces around") << "  king  " << QList<qint64>{3};
    }
    void findsWordsPhrasesPrefixesAndCombinations() {
        QFETCH(QString, text);
        QFETCH(QList<qint64>, ids);
        Archive archive;
        archive.add(Page(1, 1234567, "AMB 12 RESPOND P1 CARDIAC ARREST 45 HARBOUR ST"));
        archive.add(Page(2, 1234568, "FIRE CALL HOUSE FIRE 3 Harbour Rd STN 12"));
        archive.add(Page(3, 1300000, "POLICE DOMESTIC AT 9 KING ST"));
        archive.add(Page(4, 1300001, "FIRE DRILL TONIGHT 1900"));
        QCOMPARE(Ids(archive.find(Text(text))), ids);
    }

    void aSearchTextThatDoesNotParseIsRefusedInWords_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("a full stop") << "45 Harbour St.";
        QTest::newRow("an open quote") << "\"house fire";
        QTest::newRow("AND with nothing after") << "fire AND";
        QTest::newRow("NOT first") << "NOT drill";
        QTest::newRow("an open bracket") << "(fire OR police";
        QTest::newRow("an unknown column") << "street:king";
    }
    void aSearchTextThatDoesNotParseIsRefusedInWords() {
        QFETCH(QString, text);
        Archive archive;
        archive.add(Page(1, 1234567, "FIRE CALL 45 HARBOUR ST"));
        const QString refusal = Refusal(archive, Text(text));
        QVERIFY2(refusal.startsWith(QLatin1String("The search text is not valid: ")),
                 qPrintable(refusal));
        QVERIFY2(refusal.contains(QLatin1String("double quotes")), qPrintable(refusal));
        // Quoted, the same characters are words to look for.
        QString quoted = text;
        quoted.remove(QLatin1Char('"'));
        QCOMPARE(archive.find(Text(QLatin1Char('"') + quoted + QLatin1Char('"'))).pages.size() <= 1,
                 true);
    }

    void aPrefixOfFewerThanThreeCharactersIsRefused_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("one letter") << "h*"
                                    << "h*";
        QTest::newRow("two letters after a word") << "fire ha*"
                                                  << "ha*";
        QTest::newRow("a phrase's last word") << "\"harbour s\"*"
                                              << "s\"*";
        QTest::newRow("a digit") << "1* OR harb*"
                                 << "1*";
    }
    void aPrefixOfFewerThanThreeCharactersIsRefused() {
        QFETCH(QString, text);
        QFETCH(QString, prefix);
        Archive archive;
        archive.add(Page(1, 1234567, "FIRE CALL 45 HARBOUR ST"));
        QCOMPARE(Refusal(archive, Text(text)),
                 QStringLiteral("The search text is not valid: %1 is too short a prefix; give "
                                "at least 3 characters before the *, e.g. harb*")
                     .arg(prefix));
    }

    void aStarInQuotesIsNoPrefix() {
        Archive archive;
        archive.add(Page(1, 1234567, "FIRE CALL 45 HARBOUR ST"));
        QCOMPARE(Ids(archive.find(Text(QStringLiteral("\"st*\"")))), QList<qint64>({1}));
        QCOMPARE(Ids(archive.find(Text(QStringLiteral("har*")))), QList<qint64>({1}));
        QCOMPARE(Ids(archive.find(Text(QStringLiteral("\"45 harb\"*")))), QList<qint64>({1}));
    }

    void aTooLongSearchTextIsRefused() {
        Archive archive;
        archive.add(Page(1, 1234567, "FIRE"));
        QVERIFY(archive.find(Text(QString(history::kMaxSearchTextLength, QLatin1Char('f'))))
                    .pages.isEmpty());
        const QString refusal =
            Refusal(archive, Text(QString(history::kMaxSearchTextLength + 1, QLatin1Char('f'))));
        QVERIFY2(refusal.startsWith(QLatin1String("The search text is too long")),
                 qPrintable(refusal));
    }

    void aTimeRangeTakesItsStartAndNotItsEnd() {
        Archive archive;
        // Two pages in each of three milliseconds.
        for (qint64 id = 1; id <= 6; ++id) {
            HistoryPage page = Page(id, 1234567, "AMB");
            page.timeMs = kT0 + (id - 1) / 2;
            archive.add(page);
        }
        auto between = [&](std::optional<qint64> from, std::optional<qint64> to) {
            history::PageQuery query;
            query.fromMs = from;
            query.toMs = to;
            return Ids(archive.find(query));
        };
        QCOMPARE(between(kT0 + 1, kT0 + 2), QList<qint64>({4, 3}));
        QCOMPARE(between(kT0, kT0 + 3), QList<qint64>({6, 5, 4, 3, 2, 1}));
        QCOMPARE(between(kT0 + 1, std::nullopt), QList<qint64>({6, 5, 4, 3}));
        QCOMPARE(between(std::nullopt, kT0 + 2), QList<qint64>({4, 3, 2, 1}));
        QCOMPARE(between(kT0 + 1, kT0 + 1), QList<qint64>());
        QCOMPARE(between(kT0 + 3, std::nullopt), QList<qint64>());
        QCOMPARE(between(std::nullopt, kT0), QList<qint64>());
        QCOMPARE(between(kT0 - 1000, kT0 + 1000), QList<qint64>({6, 5, 4, 3, 2, 1}));
    }

    // Each search, page by page with `before`, answers every page it should,
    // newest first, none twice, and says there is no next on its last page;
    // each way of searching addresses answers alike.
    void pagingWithBeforeLosesAndRepeatsNoPage_data() {
        QTest::addColumn<int>("limit");
        QTest::newRow("7 a page") << 7;
        QTest::newRow("1 a page") << 1;
        QTest::newRow("the most") << history::kMaxSearchLimit;
    }
    void pagingWithBeforeLosesAndRepeatsNoPage() {
        QFETCH(int, limit);
        Archive archive;
        const QList<Mixed> pages = MixedPages(400);
        QList<HistoryPage> rows;
        for (const Mixed& m : pages)
            rows << m.page;
        archive.addAll(rows);

        struct Case {
            const char* name;
            history::PageQuery query;
            std::function<bool(const Mixed&)> wanted;
        };
        history::PageQuery timed = Addresses(1000000, 1199999);
        timed.fromMs = kT0 + 50 * 1000;
        timed.toMs = kT0 + 150 * 1000;
        timed.function = QStringLiteral("b");
        history::PageQuery fireInRange = Addresses(1000000, 1199999);
        fireInRange.text = QStringLiteral("fire");
        history::PageQuery fireAtOne = Addresses(1000003, 1000003);
        fireAtOne.text = QStringLiteral("fire");
        const QList<Case> cases = {
            {"every page", {}, [](const Mixed&) { return true; }},
            {"one address", Addresses(1000001, 1000001),
             [](const Mixed& m) { return InRange(m, 1000001, 1000001); }},
            {"a range", Addresses(1000000, 1199999),
             [](const Mixed& m) { return InRange(m, 1000000, 1199999); }},
            {"a word", Text(QStringLiteral("fire")),
             [](const Mixed& m) { return m.words.contains(QStringLiteral("fire")); }},
            {"a word in a range", fireInRange,
             [](const Mixed& m) {
                 return InRange(m, 1000000, 1199999) && m.words.contains(QStringLiteral("fire"));
             }},
            {"a word at one address", fireAtOne,
             [](const Mixed& m) {
                 return InRange(m, 1000003, 1000003) && m.words.contains(QStringLiteral("fire"));
             }},
            {"a range, a time and a function", timed,
             [](const Mixed& m) {
                 return InRange(m, 1000000, 1199999) && m.page.timeMs >= kT0 + 50 * 1000 &&
                        m.page.timeMs < kT0 + 150 * 1000 && m.page.function == QLatin1String("B");
             }},
        };
        for (const Case& c : cases) {
            const QList<qint64> expected = Expected(pages, c.wanted);
            QVERIFY2(expected.size() > limit || limit == history::kMaxSearchLimit, c.name);
            history::PageQuery query = c.query;
            query.limit = limit;
            for (const auto& [plan, bounds] : Plans()) {
                const auto find = [&](const history::PageQuery& q) {
                    return history::FindPagesPlanned(archive.reader(), q, bounds);
                };
                const QList<qint64> found = AllPages(find, query);
                QVERIFY2(found == expected,
                         qPrintable(QStringLiteral("%1, %2: %3 pages, expected %4")
                                        .arg(QLatin1String(c.name), QLatin1String(plan))
                                        .arg(found.size())
                                        .arg(expected.size())));
            }
        }
    }

    void theLastFullPageHasNoNext() {
        Archive archive;
        for (qint64 id = 1; id <= 6; ++id)
            archive.add(Page(id, 1234567, "AMB"));
        history::PageQuery query;
        query.limit = 3;
        const history::PageResult first = archive.find(query);
        QCOMPARE(first.next, std::optional<qint64>(4));
        query.before = first.next;
        const history::PageResult second = archive.find(query);
        QCOMPARE(Ids(second), QList<qint64>({3, 2, 1}));
        QCOMPARE(second.next, std::nullopt);
    }

    void aLimitOutsideItsBoundsIsTakenAsTheNearest() {
        Archive archive;
        QList<HistoryPage> rows;
        for (qint64 id = 1; id <= history::kMaxSearchLimit + 10; ++id)
            rows << Page(id, 1234567, "AMB");
        archive.addAll(rows);
        history::PageQuery query;
        query.limit = 0;
        QCOMPARE(archive.find(query).pages.size(), 1);
        query.limit = 100000;
        QCOMPARE(archive.find(query).pages.size(), history::kMaxSearchLimit);
        QCOMPARE(history::PageQuery().limit, history::kDefaultSearchLimit);
    }

    void filtersByCarrierFunctionAndTypeInAnyCase() {
        Archive archive;
        HistoryPage a = Page(1, 1234567, "AMB 1");
        a.carrier = QStringLiteral("Sat Feed 2");
        HistoryPage b = Page(2, 1234567, "AMB 2");
        b.function = QStringLiteral("A");
        HistoryPage c = Page(3, 1234567, "");
        c.type = QStringLiteral("T");
        archive.add(a);
        archive.add(b);
        archive.add(c);
        history::PageQuery query;
        query.carrier = QStringLiteral("sat feed 2");
        QCOMPARE(Ids(archive.find(query)), QList<qint64>({1}));
        query = {};
        query.function = QStringLiteral("a");
        QCOMPARE(Ids(archive.find(query)), QList<qint64>({2}));
        query.function = QStringLiteral("D");
        QCOMPARE(Ids(archive.find(query)), QList<qint64>({3, 1}));
        query = {};
        query.type = QStringLiteral("T");
        QCOMPARE(Ids(archive.find(query)), QList<qint64>({3}));
        query.carrier = QStringLiteral("Sat Feed 2");
        QCOMPARE(Ids(archive.find(query)), QList<qint64>());
    }

    void everyByteOfATextComesBackAsOneCharacter() {
        Archive archive;
        QByteArray bytes;
        for (int b = 0; b < 256; ++b)
            bytes += char(b);
        HistoryPage page = Page(1, 1234567, bytes);
        archive.add(page);
        archive.add(Page(2, 1234567, "CAF\xc9 DE LA GARE 12"));

        const history::PageResult found = archive.find({});
        QCOMPARE(found.pages.size(), 2);
        QCOMPARE(found.pages[1].text, QString::fromLatin1(bytes));
        QCOMPARE(found.pages[1].text.toLatin1(), bytes);
        QCOMPARE(found.pages[1].packet, HistoryPacket(page));
        const std::optional<history::PageRow> one = history::FindPage(archive.reader(), 1);
        QVERIFY(one);
        QCOMPARE(one->text.toLatin1(), bytes);
        QCOMPARE(one->packet, HistoryPacket(page));
        // A word with a byte above 127 is found as the operator types it.
        QCOMPARE(Ids(archive.find(Text(QString::fromLatin1("caf\xe9")))), QList<qint64>({2}));
    }

    void aPageOpensWithEveryFieldAndItsTrailOldestFirst() {
        Archive archive;
        HistoryPage page = Page(7, 1234567, "AMB 12 TO 45 HARBOUR ST");
        page.offsetMinutes = 660;
        page.rate = QStringLiteral("512");
        page.frequency = QStringLiteral("2");
        archive.add(page);
        AddTrailRow(archive.writer(), 7, QStringLiteral("CAD"), QStringLiteral("taken"), kT0 + 40);
        AddTrailRow(archive.writer(), 7, QStringLiteral("Printer"), QStringLiteral("stored"),
                    kT0 + 2);
        AddTrailRow(archive.writer(), 7, QStringLiteral("CAD"), QStringLiteral("sent"), kT0 + 1);
        AddTrailRow(archive.writer(), 7, QStringLiteral("Printer"), QStringLiteral("resent"),
                    kT0 + 60000, 600);
        AddTrailRow(archive.writer(), 8, QStringLiteral("CAD"), QStringLiteral("sent"), kT0 + 3);

        const std::optional<history::PageRow> row = history::FindPage(archive.reader(), 7);
        QVERIFY(row);
        QCOMPARE(row->id, qint64(7));
        QCOMPARE(row->timeMs, page.timeMs);
        QCOMPARE(row->offsetMinutes, 660);
        QCOMPARE(row->carrier, QStringLiteral("Sat Feed 1"));
        QCOMPARE(row->rate, QStringLiteral("512"));
        QCOMPARE(row->frequency, QStringLiteral("2"));
        QCOMPARE(row->function, QStringLiteral("D"));
        QCOMPARE(row->address, QStringLiteral("1234567"));
        QCOMPARE(row->type, QStringLiteral("A"));
        QCOMPARE(row->text, QStringLiteral("AMB 12 TO 45 HARBOUR ST"));
        QCOMPARE(row->packet, QByteArray("\x02"
                                         "512\r2\rD\r1234567\rA\rAMB 12 TO 45 HARBOUR ST\x03"));

        const QList<history::TrailRow> trail = history::FindTrail(archive.reader(), 7);
        QStringList lines;
        for (const history::TrailRow& t : trail)
            lines << QStringLiteral("%1 %2 %3 %4")
                         .arg(t.destination, t.event)
                         .arg(t.timeMs - kT0)
                         .arg(t.offsetMinutes);
        QCOMPARE(lines, QStringList({"CAD sent 1 600", "Printer stored 2 600", "CAD taken 40 600",
                                     "Printer resent 60000 600"}));

        QVERIFY(!history::FindPage(archive.reader(), 9));
        QVERIFY(history::FindTrail(archive.reader(), 9).isEmpty());
    }

    void theAuditIsSearchedByTextAndTimeNewestFirst() {
        Archive archive;
        const QList<HistoryAudit> rows = {
            {1, kT0, "alice", "10.0.0.5", "login", ""},
            {2, kT0 + 1, "bob", "10.0.0.6", "login-failed", ""},
            {3, kT0 + 2, "alice", "10.0.0.5", "command", "Delete stored: 100% of CAD_1"},
            {4, kT0 + 3, "window", "", "command", "Send dummy"},
            {5, kT0 + 3, "alice", "10.0.0.5", "logout", ""},
            {6, kT0 + 4, "mallory", "10.9.9.9", "banned", ""},
        };
        for (const HistoryAudit& row : rows)
            AddAuditRow(archive.writer(), row);
        auto ids = [&](const history::AuditQuery& query) {
            QList<qint64> found;
            for (const history::AuditRow& row : history::FindAudit(archive.reader(), query).rows)
                found << row.id;
            return found;
        };
        history::AuditQuery query;
        QCOMPARE(ids(query), QList<qint64>({6, 5, 4, 3, 2, 1}));
        query.text = QStringLiteral("ALICE"); // the operator, in any case
        QCOMPARE(ids(query), QList<qint64>({5, 3, 1}));
        query.text = QStringLiteral("10.9.9"); // the address
        QCOMPARE(ids(query), QList<qint64>({6}));
        query.text = QStringLiteral("login"); // the action
        QCOMPARE(ids(query), QList<qint64>({2, 1}));
        query.text = QStringLiteral("dummy"); // the detail
        QCOMPARE(ids(query), QList<qint64>({4}));
        query.text = QStringLiteral("100%"); // % and _ are characters like any other
        QCOMPARE(ids(query), QList<qint64>({3}));
        query.text = QStringLiteral("C_D");
        QCOMPARE(ids(query), QList<qint64>());
        query.text = QStringLiteral("CAD_1");
        QCOMPARE(ids(query), QList<qint64>({3}));
        query.text = QStringLiteral("'; DROP TABLE Audit; --");
        QCOMPARE(ids(query), QList<qint64>());
        query.text.clear();
        query.fromMs = kT0 + 1;
        query.toMs = kT0 + 3;
        QCOMPARE(ids(query), QList<qint64>({3, 2}));

        history::AuditQuery paged;
        paged.limit = 4;
        const history::AuditResult first = history::FindAudit(archive.reader(), paged);
        QCOMPARE(first.rows.size(), 4);
        QCOMPARE(first.next, std::optional<qint64>(3));
        paged.before = first.next;
        const history::AuditResult second = history::FindAudit(archive.reader(), paged);
        QCOMPARE(second.rows.size(), 2);
        QCOMPARE(second.rows[0].id, 2);
        QCOMPARE(second.next, std::nullopt);

        const history::AuditRow row = history::FindAudit(archive.reader(), {}).rows[3];
        QCOMPARE(row.timeMs, kT0 + 2);
        QCOMPARE(row.offsetMinutes, 600);
        QCOMPARE(row.operatorName, QStringLiteral("alice"));
        QCOMPARE(row.address, QStringLiteral("10.0.0.5"));
        QCOMPARE(row.action, QStringLiteral("command"));
        QCOMPARE(row.detail, QStringLiteral("Delete stored: 100% of CAD_1"));
    }

    void valuesAreNeverTakenForSql() {
        Archive archive;
        archive.add(Page(1, 1234567, "AMB"));
        history::PageQuery query;
        query.carrier = QStringLiteral("x' OR '1'='1");
        QVERIFY(archive.find(query).pages.isEmpty());
        query = Text(QStringLiteral("\"') OR 1=1 --\""));
        QVERIFY(archive.find(query).pages.isEmpty());
        QCOMPARE(Ids(archive.find({})), QList<qint64>({1}));
    }

    void theReaderNeitherCreatesNorWritesAFile() {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("history.mdb"));
        QVERIFY_THROWS_EXCEPTION(platform::Error,
                                 history::OpenReader(missing, QStringLiteral("missing")));
        QVERIFY(!QFile::exists(missing));
        QVERIFY(!QSqlDatabase::contains(QStringLiteral("missing")));

        Archive archive;
        QSqlQuery write(archive.reader());
        QVERIFY(!write.exec(QStringLiteral("DELETE FROM Pages")));
    }
};

QTEST_GUILESS_MAIN(HistorySearchTest)
#include "history-search-test.moc"
