// The receipts' copy in memory against the search's statement, on a real
// store. The input is a sequence of operations: receipts filed, changed and
// deleted by this connection, by another connection (another program), and
// by a statement the engine does not report row by row; the store compacted
// or held locked by another program; the connection opened anew; searches by
// category, text, both or neither. After each search the copy's lines must
// be the statement's lines: the same receipts, in the same order, with the
// same titles; and the lines of the last search, read from the copy as they
// are shown, must stay as found whatever the copy goes through. Texts are any
// bytes, as another program may store them, and may be long; numbers are the
// engine's or the ends of the range, as another program may choose them.
#include "app/core/ReceiptSearch.h"
#include "store/Connection.h"
#include "store/ReceiptIndex.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "store/StoreError.h"
#include "store/vorndata.h"
#include "tests/fuzz/FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <fuzzer/FuzzedDataProvider.h>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <vector>

using namespace qb;

namespace {

// One store for the whole run; each input starts with an empty receipts
// table and a new copy.
struct Store
{
    // In memory where there is a place for it: a run writes the file many
    // thousand times.
    QTemporaryDir folder{QDir("/dev/shm").exists()
                             ? QStringLiteral("/dev/shm/fuzz_receipts-XXXXXX")
                             : QDir::tempPath() + QStringLiteral("/fuzz_receipts-XXXXXX")};
    QString path = folder.filePath(schema::kStoreFileName);
    Connection own;
    Connection peer;

    Store()
    {
        if (!vorndata::createDatabase(path, schema::kStorePassword) ||
            !vorndata::connect(own, path, schema::kStorePassword) ||
            !vorndata::connect(peer, path, schema::kStorePassword))
            fuzz::fail("no store to fuzz");
        configure(own);
        configure(peer);
    }

    // What a power cut would lose is of no interest here. A lock of the
    // other connection refuses this one's reads at once instead of after the
    // program's wait.
    void configure(Connection& c)
    {
        c.execute(QStringLiteral("PRAGMA synchronous = OFF"));
        if (&c == &own)
            sqlite3_busy_timeout(c.handle(), 0);
    }
};

Store& store()
{
    static Store s;
    return s;
}

using Text = std::optional<std::string>; // no value: Null

// QB_FUZZ_TRACE=1 tells each operation, to read a finding.
void trace(const char* what, const QString& detail = {})
{
    static const bool on = qEnvironmentVariableIsSet("QB_FUZZ_TRACE");
    if (on)
        std::fprintf(stderr, "%s %s\n", what, qPrintable(detail));
}

// Characters where folding and trimming have their edges: the ends of the
// ASCII letters and their neighbours, letters whose folding leaves their
// block or changes their length, blanks, controls and the zero character,
// the wildcards, and bytes that are no UTF-8.
const char* const kEdges[] = {"A",
                              "Z",
                              "a",
                              "z",
                              "@",
                              "[",
                              "`",
                              "{",
                              "0",
                              " ",
                              "\t",
                              "\n",
                              "\x01",
                              "\x1f",
                              "!",
                              "%",
                              "_",
                              "]",
                              "'",
                              "\xC3\x80",
                              "\xC3\x9E",
                              "\xC3\x9F",
                              "\xC3\xA0",
                              "\xC3\xBF",
                              "\xC4\xB0",
                              "\xC4\xB1",
                              "\xC5\xBF",
                              "\xE2\x84\xAA",
                              "\xE2\x84\xAB",
                              "\xCE\xA3",
                              "\xCF\x82",
                              "\xCF\x83",
                              "\xEF\xBC\xA1",
                              "\xEF\xBD\x9A",
                              "\xEF\xAC\x81",
                              "\xE5\x8A\x9E",
                              "\xE5\x85\xAC",
                              "\xB0",
                              "\xEC\xB9",
                              "\xFF",
                              "\xED\xA0\x80",
                              "\xF0\x9F\x98\x80",
                              "\xD0\x81",
                              "\xD1\x91",
                              "\xC7\x85",
                              "\xE1\xBA\x9E"};

// A text from the input: a few bytes as they come, a few of the characters
// above, a piece repeated into a long text, or Null.
Text takeText(FuzzedDataProvider& in)
{
    const auto kind = in.ConsumeIntegral<std::uint8_t>();
    if (kind == 0xFF)
        return std::nullopt;
    if ((kind & 0xC0) == 0x40) {
        std::string out;
        for (const char c : in.ConsumeBytesAsString(kind & 0x1F))
            out += kEdges[static_cast<unsigned char>(c) % std::size(kEdges)];
        return out;
    }
    if (kind & 0x80) {
        const std::string piece = in.ConsumeBytesAsString(1 + (kind & 0x07));
        const int times = in.ConsumeIntegralInRange(1, 2000);
        std::string out;
        out.reserve(piece.size() * size_t(times));
        for (int i = 0; i < times; ++i)
            out += piece;
        return out;
    }
    return in.ConsumeBytesAsString(kind & 0x3F);
}

void bindText(Statement& st, int index, const Text& text)
{
    if (text)
        sqlite3_bind_text(st.get(), index, text->data(), int(text->size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(st.get(), index);
}

// The k-th receipt in number order, k taken modulo their count.
const char* const kNth =
    "(select rowid from pj order by rowid limit 1 offset ?9 % max(1, (select count(*) from pj)))";

void write(sqlite3* db, FuzzedDataProvider& in)
{
    const int what = in.ConsumeIntegralInRange(0, 2);
    const auto k = in.ConsumeIntegral<std::uint16_t>();
    trace(what == 0 ? "insert" : what == 1 ? "update" : "delete", QString::number(k));
    if (what == 0) {
        // A few inserts number their receipt at an end of the range.
        constexpr qint64 kEnds[] = {
            std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::min() + 1,
            std::numeric_limits<qint64>::max() - 1, std::numeric_limits<qint64>::max()};
        const bool end = k >= 0xFFF0;
        Statement st(
            db, end ? QStringLiteral("insert or ignore into pj(ID,类别,票据标题,说明,图片) "
                                     "values(?4,?1,?2,?3,'00001.jpg')")
                    : QStringLiteral("insert into pj(类别,票据标题,说明,图片) values(?1,?2,?3,'00001.jpg')"));
        bindText(st, 1, takeText(in));
        bindText(st, 2, takeText(in));
        bindText(st, 3, takeText(in));
        if (end)
            st.bind(4, kEnds[k % std::size(kEnds)]);
        try {
            st.step();
        } catch (const StoreError& e) {
            // The counter has no number left after the highest one.
            if (e.engineCode() != SQLITE_FULL)
                throw;
        }
        return;
    }
    if (what == 1) {
        Statement st(db, QStringLiteral("update pj set 类别 = ?1, 票据标题 = ?2, 说明 = ?3 where rowid = %1")
                             .arg(QLatin1String(kNth)));
        bindText(st, 1, takeText(in));
        bindText(st, 2, takeText(in));
        bindText(st, 3, takeText(in));
        st.bind(9, qint64(k));
        st.step();
        return;
    }
    Statement st(db, QStringLiteral("delete from pj where rowid = %1").arg(QLatin1String(kNth)));
    st.bind(9, qint64(k));
    st.step();
}

// A stored text of the k-th receipt, to search for a part of it.
std::string storedText(sqlite3* db, int column, std::uint16_t k)
{
    Statement st(db, QStringLiteral("select * from pj where rowid = %1").arg(QLatin1String(kNth)));
    st.bind(9, qint64(k));
    if (!st.step() || !st.text(column))
        return {};
    return std::string(reinterpret_cast<const char*>(st.text(column)), size_t(st.bytes(column)));
}

// What a user can type: typed bytes, or a piece of a stored text, perhaps
// with the case of its letters turned, read as UTF-8 (anything else
// replaced).
QString takeSearchText(FuzzedDataProvider& in, sqlite3* db, int column)
{
    const auto kind = in.ConsumeIntegral<std::uint8_t>() % 3;
    if (kind == 0) {
        const std::string bytes = in.ConsumeBytesAsString(in.ConsumeIntegralInRange(0, 12));
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }
    const std::string stored = storedText(db, column, in.ConsumeIntegral<std::uint16_t>());
    const size_t from = in.ConsumeIntegralInRange<size_t>(0, stored.size());
    const std::string piece = stored.substr(from, in.ConsumeIntegralInRange<size_t>(0, 12));
    QString text = QString::fromUtf8(piece.data(), qsizetype(piece.size()));
    if (kind == 2)
        for (QChar& c : text)
            c = c.isUpper() ? c.toLower() : c.toUpper();
    return text;
}

template <typename Lines> QStringList toList(const Lines& lines)
{
    QStringList out;
    for (int i = 0; i < lines.size(); ++i)
        out.append(lines.at(i));
    return out;
}

// The last search's lines as the search page keeps them, and what they were.
struct Shown
{
    FoundReceipts lines;
    QStringList found;
};

void search(ReceiptIndex& index, Connection& connection, FuzzedDataProvider& in, Shown& shown)
{
    const int shape = in.ConsumeIntegralInRange(0, 3);
    sqlite3* db = connection.handle();
    const QString category = shape & 1 ? takeSearchText(in, db, 1) : QString();
    const QString text = shape & 2 ? takeSearchText(in, db, 2 + int(in.ConsumeBool())) : QString();
    trace("search", category + u'/' + text);
    QStringList copy;
    try {
        shown.lines = index.search(category, text);
        copy = shown.found = toList(shown.lines);
    } catch (const StoreError&) {
        return; // no copy to be had: the search takes the statement
    }
    const QStringList statement = toList(scanForReceipts(connection, category, text));
    if (copy == statement)
        return;
    std::fprintf(stderr, "category '%s', text '%s'\ncopy (%d lines):\n", qPrintable(category),
                 qPrintable(text), int(copy.size()));
    for (const QString& line : copy.mid(0, 10))
        std::fprintf(stderr, "  %s\n", qPrintable(line));
    std::fprintf(stderr, "statement (%d lines):\n", int(statement.size()));
    for (const QString& line : statement.mid(0, 10))
        std::fprintf(stderr, "  %s\n", qPrintable(line));
    fuzz::fail("the copy and the statement find different lines");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv)
{
    static int argc = 1;
    static char* args[] = {(*argv)[0], nullptr};
    static QCoreApplication app(argc, args);
    store();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    Store& s = store();
    s.own.execute(QStringLiteral("drop table if exists pj"));
    s.own.execute(schema::kCreateReceipts);
    // The file is kept small, so that the copy's room (the file's size) is
    // not much more than the receipts need.
    const bool large = [&] {
        Statement pages(s.own.handle(), QStringLiteral("PRAGMA page_count"));
        return pages.step() && pages.integer(0) > 16;
    }();
    if (large)
        s.own.execute(QStringLiteral("vacuum"));

    ReceiptIndex index(s.own);
    Shown shown;
    index.setBeforeChange([&] { shown.lines.keep(); });
    FuzzedDataProvider in(data, size);
    int reopened = 0;
    while (in.remaining_bytes() > 0) {
        // One byte per operation; 250 and above were added later and mean
        // what they meant before but for the first two.
        const auto operation = in.ConsumeIntegral<std::uint8_t>();
        if (operation == 250) {
            // Another program holds the store past the wait: the idle read
            // and the search are refused.
            trace("peer: locked");
            s.peer.execute(QStringLiteral("begin exclusive"));
            index.prepare(std::chrono::milliseconds(0), 2);
            try {
                index.search(QString(), QString());
            } catch (const StoreError&) {
            }
            s.peer.execute(QStringLiteral("rollback"));
        } else if (operation == 251) {
            // Opening costs the key's derivation: a few times an input.
            if (++reopened <= 3) {
                trace("reopen");
                s.own.close();
                s.own.setConnected(true);
                s.configure(s.own);
            }
        } else {
            switch (operation % 10) {
            case 0:
            case 1:
            case 2:
                write(s.own.handle(), in);
                // The program reads the copy a slice at a time while idle, with
                // the user's writes in between.
                index.prepare(std::chrono::milliseconds(0), 2);
                break;
            case 3:
                trace("peer:");
                write(s.peer.handle(), in);
                index.prepare(std::chrono::milliseconds(0), 2);
                break;
            case 4:
                // Rows gone without a report of each.
                trace("delete all");
                s.own.execute(QStringLiteral("delete from pj"));
                break;
            case 5:
                // Compaction, as another program (the outside shell) may do it;
                // the program itself never compacts the store.
                trace("peer: vacuum");
                s.peer.execute(QStringLiteral("vacuum"));
                break;
            default:
                search(index, s.own, in, shown);
                break;
            }
        }
        if (toList(shown.lines) != shown.found)
            fuzz::fail("the lines shown from the copy changed under them");
        // The grid's first count takes the copy's when it has one.
        if (const std::optional<size_t> known = index.receiptCount()) {
            Statement count(s.own.handle(), QStringLiteral("select count(*) from pj"));
            if (!count.step() || count.integer(0) != qint64(*known))
                fuzz::fail("the copy's count of receipts is not the engine's");
        }
    }
    return 0;
}
