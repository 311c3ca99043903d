#pragma once

// Generated pages for the history benchmark: dispatch texts of ambulance,
// fire and police services to 50 address ranges over 90 days. Page I depends
// on I alone, so that a fill stopped half way goes on where it stopped and
// the searches can pick values the archive holds.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>
#include <cmath>

namespace bench {

constexpr qint64 kDayMs = 24LL * 60 * 60 * 1000;
constexpr int kHistoryDays = 90;
constexpr qint64 kSpanMs = kHistoryDays * kDayMs;
// 1 January 2026 00:00 in Sydney (UTC+10), in UTC milliseconds.
constexpr qint64 kFirstPageMs = 1767189600000LL;
constexpr int kOffsetMinutes = 600;
constexpr int kRanges = 50;
constexpr int kFirstAddress = 1000000;
constexpr int kRangeStride = 20000;
constexpr int kPagesPerIncident = 3;
constexpr int kGeneratorVersion = 2;

// splitmix64: a good spread from consecutive seeds.
class Random {
public:
    explicit Random(quint64 seed) : state_(seed) {}
    quint64 Next() {
        quint64 z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<quint64>(n)); }
    double Unit() { return double(Next() >> 11) / double(1ULL << 53); }
    template <typename List> const auto& Pick(const List& list) {
        return list[Below(static_cast<int>(std::size(list)))];
    }

private:
    quint64 state_;
};

inline const std::array<const char*, 60> kStreets = {
    "HARBOUR",   "GEORGE",    "PITT",      "KING",       "QUEEN",    "CROWN",   "OXFORD",
    "ELIZABETH", "VICTORIA",  "MACQUARIE", "PARRAMATTA", "CHURCH",   "MARKET",  "BRIDGE",
    "PRINCES",   "PACIFIC",   "HUME",      "WARATAH",    "BANKSIA",  "WATTLE",  "ACACIA",
    "STATION",   "RAILWAY",   "MILL",      "HIGH",       "SMITH",    "WILLIAM", "CLARENCE",
    "KENT",      "SUSSEX",    "BATHURST",  "LIVERPOOL",  "CAMPBELL", "ALBERT",  "EDWARD",
    "FLINDERS",  "COLLINS",   "BOURKE",    "LONSDALE",   "SWANSTON", "RUSSELL", "EXHIBITION",
    "SPRING",    "LYGON",     "NICHOLSON", "BRUNSWICK",  "SYDNEY",   "PUNT",    "CHAPEL",
    "TOORAK",    "DANDENONG", "WARRIGAL",  "BEACH",      "OCEAN",    "RIVER",   "HILL",
    "FOREST",    "GULLY",     "CREEK",     "VALLEY"};
inline const std::array<const char*, 8> kSuffixes = {"ST",  "RD",   "AVE", "PDE",
                                                     "HWY", "LANE", "CT",  "DR"};
inline const std::array<const char*, 40> kSuburbs = {
    "SURRY HILLS", "REDFERN",   "GLEBE",     "NEWTOWN",     "MARRICKVILLE", "BONDI",
    "COOGEE",      "RANDWICK",  "MANLY",     "MOSMAN",      "CHATSWOOD",    "RYDE",
    "HORNSBY",     "PENRITH",   "BLACKTOWN", "LIVERPOOL",   "CAMPBELLTOWN", "CRONULLA",
    "HURSTVILLE",  "BANKSTOWN", "AUBURN",    "STRATHFIELD", "BURWOOD",      "ASHFIELD",
    "LEICHHARDT",  "BALMAIN",   "PYRMONT",   "ULTIMO",      "WATERLOO",     "ZETLAND",
    "MASCOT",      "ROCKDALE",  "KOGARAH",   "SUTHERLAND",  "ENGADINE",     "HELENSBURGH",
    "WOLLONGONG",  "KIAMA",     "GOSFORD",   "WYONG"};
inline const std::array<const char*, 24> kComplaints = {
    "CARDIAC ARREST", "CHEST PAIN",        "BREATHING PROBLEMS", "FALL",        "UNCONSCIOUS",
    "STROKE",         "SEIZURE",           "OVERDOSE",           "MVA",         "ASSAULT",
    "BURNS",          "ALLERGIC REACTION", "DIABETIC",           "HAEMORRHAGE", "ABDOMINAL PAIN",
    "BACK PAIN",      "PREGNANCY",         "SICK PERSON",        "TRAUMA",      "HEAT EXPOSURE",
    "DROWNING",       "ELECTROCUTION",     "PSYCHIATRIC",        "TRANSFER"};
inline const std::array<const char*, 16> kFires = {
    "STRUCTURE FIRE", "HOUSE FIRE",       "CAR FIRE",      "GRASS FIRE",
    "BUSH FIRE",      "ALARM ACTIVATION", "SMOKE SIGHTED", "HAZMAT",
    "GAS LEAK",       "RESCUE",           "MVA RESCUE",    "RUBBISH FIRE",
    "CHIMNEY FIRE",   "POWER LINES DOWN", "TREE DOWN",     "FLOODING"};
inline const std::array<const char*, 16> kOffences = {
    "BREAK AND ENTER",   "DOMESTIC",         "STEALING",
    "SUSPICIOUS PERSON", "NOISE COMPLAINT",  "ASSAULT",
    "ROBBERY",           "TRAFFIC HAZARD",   "DRINK DRIVER",
    "MISSING PERSON",    "MALICIOUS DAMAGE", "CONCERN FOR WELFARE",
    "ARMED HOLDUP",      "PURSUIT",          "ALARM",
    "TRESPASS"};
inline const std::array<const char*, 4> kPriorities = {"P1", "P2", "P3", "P4"};
inline const std::array<const char*, 6> kAlarms = {"1ST ALARM", "2ND ALARM", "3RD ALARM",
                                                   "RESPOND",   "STANDBY",   "SUPPORT"};

// One of the 50 ranges: its first address and how many pagers it has.
struct AddressRange {
    int first = 0;
    int count = 0;
};

inline AddressRange Range(int r) {
    return {kFirstAddress + r * kRangeStride, 200 + (r * 397) % 800};
}

// Busier services carry more pages: range R has weight 1 / (R + 1)^0.5, so
// that the busiest has about 8 % of all pages.
inline int PickRange(Random& random) {
    static const std::array<double, kRanges> cumulative = [] {
        std::array<double, kRanges> sums{};
        double sum = 0;
        for (int r = 0; r < kRanges; ++r)
            sums[r] = sum += 1.0 / std::sqrt(r + 1);
        for (double& s : sums)
            s /= sum;
        return sums;
    }();
    const double u = random.Unit();
    for (int r = 0; r < kRanges; ++r)
        if (u <= cumulative[r])
            return r;
    return kRanges - 1;
}

// A few pagers of a range take many of its pages: the busiest of all about
// 25,000 in 90 days (a brigade's group), most a few a day.
inline int PickAddress(Random& random, int r) {
    const AddressRange range = Range(r);
    const double u = random.Unit();
    return range.first + static_cast<int>(range.count * u * std::sqrt(u));
}

struct GeneratedTrail {
    QString destination;
    QString event;
    qint64 timeMs = 0;
    qint64 messID = 0;
};

struct GeneratedPage {
    qint64 id = 0;
    qint64 timeMs = 0;
    QString carrier;
    QString rate;
    QString frequency;
    QString function;
    int address = 0;
    QString type;
    QByteArray text;
    QByteArray packet;
    QList<GeneratedTrail> trail;
};

inline QByteArray Place(Random& random) {
    return QByteArray::number(1 + random.Below(250)) + ' ' + random.Pick(kStreets) + ' ' +
           random.Pick(kSuffixes) + ' ' + random.Pick(kSuburbs);
}

inline QByteArray Event(Random& random, const char* prefix) {
    return QByteArray(prefix) + QByteArray::number(26000000 + random.Below(2000000));
}

// The text of an incident: its service follows from the range.
inline QByteArray IncidentText(quint64 incident, int r) {
    Random random(incident * 7919 + 17);
    switch (r % 4) {
    case 0:
    case 1:
        return "AMB " + QByteArray::number(1 + random.Below(99)) + ' ' + random.Pick(kPriorities) +
               ' ' + random.Pick(kComplaints) + ' ' + Place(random) + " XST " +
               random.Pick(kStreets) + ' ' + random.Pick(kSuffixes) + " MAP " +
               QByteArray::number(1 + random.Below(400)) + ' ' + char('A' + random.Below(8)) +
               QByteArray::number(1 + random.Below(9)) + ' ' + Event(random, "E");
    case 2:
        return "FIRE CALL " + QByteArray(random.Pick(kFires)) + ' ' + Place(random) + ' ' +
               random.Pick(kAlarms) + " STN " + QByteArray::number(1 + random.Below(90)) + ' ' +
               Event(random, "INC");
    default:
        return "POLICE " + QByteArray(random.Pick(kOffences)) + " AT " + Place(random) + " UNITS " +
               QByteArray::number(1 + random.Below(60)) + ' ' + Event(random, "JOB");
    }
}

inline QByteArray NumericText(Random& random) {
    if (random.Below(3) == 0)
        return "911  ";
    QByteArray digits = "04" + QByteArray::number(10000000 + random.Below(89999999));
    return digits;
}

inline void AddTrail(GeneratedPage& page, Random& random, int r) {
    static const std::array<const char*, 4> outputs = {"CAD Ambulance", "CAD Ambulance", "CAD Fire",
                                                       "CAD Police"};
    const QString output = QString::fromLatin1(outputs[r % 4]);
    const qint64 t = page.timeMs;
    if (random.Below(20) == 0) {
        const qint64 messID = 5000000000LL + page.id;
        const qint64 back = t + 60000 + random.Below(600000);
        page.trail << GeneratedTrail{output, QStringLiteral("stored"), t + 1, messID}
                   << GeneratedTrail{output, QStringLiteral("resent"), back, messID}
                   << GeneratedTrail{output, QStringLiteral("taken"), back + 20, messID};
    } else {
        page.trail << GeneratedTrail{output, QStringLiteral("sent"), t + 1, 0}
                   << GeneratedTrail{output, QStringLiteral("taken"), t + 10 + random.Below(30), 0};
    }
    if (random.Below(10) < 3)
        page.trail << GeneratedTrail{QStringLiteral("Broker"), QStringLiteral("published"), t + 2,
                                     0}
                   << GeneratedTrail{QStringLiteral("Broker"), QStringLiteral("acknowledged"),
                                     t + 20 + random.Below(60), 0};
}

inline QByteArray Packet(const GeneratedPage& page) {
    return '\x02' + page.rate.toLatin1() + '\r' + page.frequency.toLatin1() + '\r' +
           page.function.toLatin1() + '\r' +
           QStringLiteral("%1").arg(page.address, 7, 10, QLatin1Char('0')).toLatin1() + '\r' +
           page.type.toLatin1() + '\r' + page.text + '\x03';
}

// Page `id` (1 to `pages`) of an archive of `pages` pages over 90 days.
inline GeneratedPage MakePage(qint64 id, qint64 pages) {
    Random random(static_cast<quint64>(id));
    GeneratedPage page;
    page.id = id;
    const qint64 spacing = kSpanMs / pages;
    page.timeMs =
        kFirstPageMs + (id - 1) * spacing + random.Below(int(qMax<qint64>(1, spacing / 2)));
    const quint64 incident = static_cast<quint64>(id / kPagesPerIncident);
    Random incidentRandom(incident);
    const int r = PickRange(incidentRandom);
    page.address = PickAddress(random, r);
    const int kind = random.Below(100);
    page.type = kind < 85   ? QStringLiteral("A")
                : kind < 96 ? QStringLiteral("N")
                            : QStringLiteral("T");
    page.text = page.type == QLatin1String("A")   ? IncidentText(incident, r)
                : page.type == QLatin1String("N") ? NumericText(random)
                                                  : QByteArray();
    static const std::array<const char*, 4> functions = {"A", "B", "C", "D"};
    page.function = QString::fromLatin1(random.Below(10) < 6 ? "D" : random.Pick(functions));
    const int carrier = random.Below(20);
    page.carrier = carrier < 12   ? QStringLiteral("Sat Feed 1")
                   : carrier < 19 ? QStringLiteral("Sat Feed 2")
                                  : QStringLiteral("Terrestrial");
    page.rate = random.Below(10) == 0 ? QStringLiteral("512") : QStringLiteral("1200");
    page.frequency = carrier < 12 ? QStringLiteral("1") : QStringLiteral("2");
    page.packet = Packet(page);
    AddTrail(page, random, r);
    return page;
}

// Words a search may look for: the services' own vocabulary.
inline QStringList SearchWords() {
    QStringList words;
    for (const char* street : kStreets)
        words << QString::fromLatin1(street).toLower();
    for (const char* suburb : kSuburbs)
        words << QString::fromLatin1(suburb).section(QLatin1Char(' '), 0, 0).toLower();
    for (const char* complaint : kComplaints)
        words << QString::fromLatin1(complaint).section(QLatin1Char(' '), 0, 0).toLower();
    for (const char* fire : kFires)
        words << QString::fromLatin1(fire).section(QLatin1Char(' '), 0, 0).toLower();
    return words;
}

} // namespace bench
