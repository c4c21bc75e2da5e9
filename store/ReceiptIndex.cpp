#include "store/ReceiptIndex.h"

#include "store/BatchPipe.h"
#include "store/Connection.h"
#include "store/FoldedText.h"
#include "store/JetLike.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "store/StoreError.h"
#include "util/Trim.h"

#include <QtGlobal>
#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <sqlcipher/sqlite3.h>
#include <string_view>

namespace qb {

namespace {

// Ends each folded field. A folded text never holds this byte, so a
// match never runs from one field into the next.
constexpr char kFieldEnd = '\xFF';

// Whether a text that folds to itself also reads as itself, trimmed: it
// neither starts nor ends with a blank or control character, and has none of
// the sequences that reading it as UTF-8 replaces (surrogates, codes above
// Unicode, a byte-order mark, the last codes of the plane). Anything else
// takes the long way.
bool readsAsItIs(std::string_view text)
{
    if (text.empty())
        return true;
    if (isTrimmedAwayByte(text.front()) || isTrimmedAwayByte(text.back()))
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0xED)
            continue;
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if ((b == 0xED && next >= 0xA0) || (b == 0xEF && (next == 0xBB || next == 0xBF)) ||
            (b == 0xF4 && next >= 0x90) || b >= 0xF5)
            return false;
    }
    return true;
}

// Rows on their way from the reading thread to the folding one: the
// receipt's number, then its category, title and description, each as its
// length (-1 for Null) and its bytes.
constexpr size_t kBatchBytes = size_t(256) << 10;

void appendField(std::string& batch, const unsigned char* text, int bytes)
{
    const std::int32_t length = text ? bytes : -1;
    batch.append(reinterpret_cast<const char*>(&length), sizeof length);
    if (text)
        batch.append(reinterpret_cast<const char*>(text), size_t(bytes));
}

QString rowQuery(const char* tail)
{
    return QStringLiteral("select rowid, %1, %2, %3 from %4 ")
               .arg(schema::kCategory, schema::kTitle, schema::kDescription, schema::kReceipts) +
           QLatin1String(tail);
}

// What search() says when the copy cannot be had for its size.
const char* const kTooMuchText = "too much text to keep in memory";

} // namespace

ReceiptIndex::ReceiptIndex(Connection& connection, size_t mostFoldedBytes)
    : m_connection(connection), m_mostFoldedBytes(std::min(mostFoldedBytes, kMostFoldedBytes))
{
    const std::string receipts = schema::kReceipts.toStdString();
    m_watch = m_connection.watchRows([this, receipts](std::string_view table, long long id) {
        if ((m_state == State::Reading || m_state == State::Complete) && table == receipts)
            m_changed.push_back(id);
    });
}

ReceiptIndex::~ReceiptIndex()
{
    m_connection.unwatchRows(m_watch);
}

size_t ReceiptIndex::memoryBytes() const
{
    // Each table's slots and their control bytes, and keys too long to be
    // held in the slot.
    size_t categories = 0;
    for (const auto* table : {&m_categoryNumbers, &m_storedCategories}) {
        categories += table->capacity() * (sizeof(*table->begin()) + 1);
        for (const auto& [key, number] : *table)
            if (key.capacity() > std::string().capacity())
                categories += key.capacity() + 1;
    }
    // Room reserved for text but never written takes no memory; the rows'
    // room is counted whole, as the allocator has to find it.
    return m_rows.capacity() * sizeof(Row) + m_folded.size() + m_titles.size() + categories;
}

// Drops the copy. Every path that drops or changes it, a failed or refused
// read among them, comes here or calls changing() first: the lines shown
// from the copy are row positions into it and are read out before it goes.
void ReceiptIndex::forget()
{
    changing();
    m_state = State::Empty;
    m_changed.clear();
    m_rows = {};
    m_folded = {};
    m_titles = {};
    m_categoryNumbers = {};
    m_storedCategories = {};
    m_inOrder = true;
    m_unused = 0;
}

std::uint32_t ReceiptIndex::categoryNumber(std::string key)
{
    return m_categoryNumbers.try_emplace(std::move(key), std::uint32_t(m_categoryNumbers.size()))
        .first->second;
}

ReceiptIndex::Row ReceiptIndex::makeRow(std::int64_t id, const unsigned char* category, int categoryBytes,
                                        const unsigned char* title, int titleBytes,
                                        const unsigned char* description, int descriptionBytes)
{
    Row row{id, std::uint32_t(m_folded.size()), 0, kNoCategory, kFoldedTitle};
    if (category) {
        // Categories repeat: each one as stored is folded once.
        const absl::string_view stored(reinterpret_cast<const char*>(category), size_t(categoryBytes));
        const auto known = m_storedCategories.find(stored);
        if (known != m_storedCategories.end()) {
            row.category = known->second;
        } else {
            row.category = categoryNumber(categoryKey(stored.data(), categoryBytes));
            m_storedCategories.emplace(std::string(stored), row.category);
        }
    }
    const size_t titleStart = m_folded.size();
    appendFolded(m_folded, reinterpret_cast<const char*>(title), title ? titleBytes : 0);
    const size_t titleEnd = m_folded.size();
    m_folded.push_back(kFieldEnd);
    appendFolded(m_folded, reinterpret_cast<const char*>(description), description ? descriptionBytes : 0);
    m_folded.push_back(kFieldEnd);
    row.end = std::uint32_t(m_folded.size());

    // The result line shows the title trimmed, as read; most titles read
    // the same folded, and are not kept twice. The folded title is looked
    // at only now: appending the description may have moved the buffer.
    const std::string_view raw(reinterpret_cast<const char*>(title), title ? size_t(titleBytes) : 0);
    const std::string_view foldedTitle(m_folded.data() + titleStart, titleEnd - titleStart);
    if (raw != foldedTitle || !readsAsItIs(raw)) {
        const QByteArray shown = trimmed(QString::fromUtf8(raw.data(), qsizetype(raw.size()))).toUtf8();
        row.title = std::uint32_t(m_titles.size());
        const auto length = std::uint32_t(shown.size());
        m_titles.append(reinterpret_cast<const char*>(&length), sizeof length);
        m_titles.append(shown.constData(), size_t(shown.size()));
    }
    if (m_folded.size() > m_mostFoldedBytes || m_titles.size() > m_mostFoldedBytes)
        throw Outgrown();
    return row;
}

// What each state holds (ReceiptIndex.h); checked where the state matters.
bool ReceiptIndex::holdsState() const
{
    const bool nothing = m_rows.empty() && m_folded.empty() && m_titles.empty() && m_changed.empty() &&
                         m_categoryNumbers.empty() && m_inOrder && m_unused == 0;
    switch (m_state) {
    case State::Empty:
    case State::TooLarge:
        return nothing;
    case State::Reading:
        // Rows this connection wrote are read again once the copy is complete.
        return m_inOrder && m_unused == 0 && (m_rows.empty() || m_rows.back().id == m_readUpTo);
    case State::Complete:
        return true;
    }
    return false;
}

ReceiptIndex::StoreState ReceiptIndex::storeState()
{
    StoreState now;
    now.session = m_connection.session();
    now.dataVersion = m_connection.dataVersion();
    now.totalChanges = m_connection.totalChanges();
    now.unreported = now.totalChanges - m_connection.reportedChanges();
    return now;
}

// Whether the store moved on since m_readFrom in a way the state cannot
// follow. A copy follows the rows this connection writes, which the engine
// reports; another connection's write, a new session or a change the engine
// did not report by row makes it stale, and nothing short of reading again
// is safe. With no copy to follow them into (TooLarge), any change counts.
bool ReceiptIndex::storeMoved()
{
    if (m_state == State::TooLarge) {
        const StoreState now = storeState();
        return now.session != m_readFrom.session || now.dataVersion != m_readFrom.dataVersion ||
               now.totalChanges != m_readFrom.totalChanges;
    }
    Q_ASSERT(m_state == State::Reading || m_state == State::Complete);
    return m_readFrom.session != m_connection.session() ||
           m_readFrom.dataVersion != m_connection.dataVersion() ||
           m_readFrom.unreported != m_connection.totalChanges() - m_connection.reportedChanges();
}

// A copy too large for memory stays so until the store changes: until then
// each search goes to the store at once instead of reading the copy again
// only to throw it away. Whether it still is; once the store changed, the
// copy is Empty again.
bool ReceiptIndex::tooLarge()
{
    if (m_state != State::TooLarge)
        return false;
    if (!storeMoved())
        return true;
    m_state = State::Empty;
    return false;
}

// The copy outgrew its limit or the memory while it was read.
void ReceiptIndex::outgrew()
{
    forget();
    m_readFrom = storeState();
    m_state = State::TooLarge;
}

// Room for the copy's text at once, as the store's size tells it: growing by
// copies would for a moment hold the copy twice, and room never written
// takes no memory. With `countRows` room for the rows too: numbers are the
// peer's to choose and need not be dense, so the rows are counted, not
// numbered. A read in slices does not count them, which would read the
// whole table in one slice.
void ReceiptIndex::reserveRoom(bool countRows)
{
    sqlite3* db = m_connection.handle();
    const auto number = [db](const QString& sql) {
        Statement q(db, sql);
        return q.step() ? q.integer(0) : 0;
    };
    const sqlite3_int64 storeBytes =
        number(QStringLiteral("PRAGMA page_count")) * number(QStringLiteral("PRAGMA page_size"));
    if (countRows)
        m_rows.reserve(size_t(std::clamp<sqlite3_int64>(
            number(QStringLiteral("select count(*) from ") + schema::kReceipts), 0, 1 << 26)));
    m_folded.reserve(size_t(std::clamp<sqlite3_int64>(storeBytes, 0, sqlite3_int64(m_mostFoldedBytes))));
}

// Begins the copy afresh: Empty, then Reading from the first receipt on.
//
// Read a slice at a time, each slice is a read of its own, so the reads hold
// no lock between slices; a write by another connection in between (the
// file's version), a new session or a change the engine did not report by
// row makes the slices read so far worthless. Rows this connection writes
// meanwhile are noted as for a complete copy and read again once the copy is
// complete; those past the slices read so far are read by a later slice.
void ReceiptIndex::beginReading(bool countRows)
{
    forget();
    ++m_loads;
    reserveRoom(countRows);
    m_readFrom = storeState();
    m_readUpTo = std::numeric_limits<std::int64_t>::min();
    m_state = State::Reading;
}

// The rows not read yet of a copy read in slices: those after the last one
// read, or all of them before the first slice. Numbers are the peer's to
// choose, the lowest of all among them.
QString ReceiptIndex::unreadRows(const char* tail) const
{
    return rowQuery(m_rows.empty() ? "where rowid >= ?1 order by rowid "
                                   : "where rowid > ?1 order by rowid ") +
           QLatin1String(tail);
}

bool ReceiptIndex::readSlice(int rows)
{
    Q_ASSERT(m_state == State::Reading);
    Statement slice(m_connection.handle(), unreadRows("limit ?2"));
    slice.bind(1, qint64(m_readUpTo));
    slice.bind(2, qint64(rows));
    int read = 0;
    while (slice.step()) {
        m_rows.push_back(makeRow(slice.integer(0), slice.text(1), slice.bytes(1), slice.text(2),
                                 slice.bytes(2), slice.text(3), slice.bytes(3)));
        m_readUpTo = m_rows.back().id;
        ++read;
    }
    return read == rows;
}

// The rows not read yet, in one go, inside the read of bringUpToDate().
void ReceiptIndex::readRest()
{
    Q_ASSERT(m_state == State::Reading);
    Statement rest(m_connection.handle(), unreadRows(""));
    rest.bind(1, qint64(m_readUpTo));
    readAll(rest);
}

void ReceiptIndex::completeReading()
{
    Q_ASSERT(m_state == State::Reading);
    m_restarts = 0;
    m_state = State::Complete;
}

// The whole copy at once, inside the read of bringUpToDate(), so that the
// file's version belongs to exactly the rows read.
void ReceiptIndex::load()
{
    Q_ASSERT(m_state == State::Empty);
    try {
        beginReading(true);
        readRest();
    } catch (...) {
        forget();
        throw;
    }
    completeReading();
}

// The engine's reading and decrypting stay on this thread; folding the
// texts, about as much work again, runs beside it on a thread of its own,
// which alone touches the copy until the pipe is gone.
void ReceiptIndex::readAll(Statement& rows)
{
    BatchPipe pipe([this](std::string_view batch) { addRows(batch); });
    std::string batch = pipe.take();
    while (rows.step()) {
        const std::int64_t id = rows.integer(0);
        batch.append(reinterpret_cast<const char*>(&id), sizeof id);
        for (int column = 1; column <= 3; ++column)
            appendField(batch, rows.text(column), rows.bytes(column));
        if (batch.size() >= kBatchBytes) {
            pipe.push(std::move(batch));
            batch = pipe.take();
        }
    }
    pipe.push(std::move(batch));
    pipe.finish();
}

void ReceiptIndex::addRows(std::string_view batch)
{
    const char* at = batch.data();
    const char* const end = at + batch.size();
    while (at < end) {
        std::int64_t id = 0;
        std::memcpy(&id, at, sizeof id);
        at += sizeof id;
        const unsigned char* text[3];
        int bytes[3];
        for (int field = 0; field < 3; ++field) {
            std::int32_t length = 0;
            std::memcpy(&length, at, sizeof length);
            at += sizeof length;
            text[field] = length < 0 ? nullptr : reinterpret_cast<const unsigned char*>(at);
            bytes[field] = std::max(length, 0);
            at += bytes[field];
        }
        m_rows.push_back(makeRow(id, text[0], bytes[0], text[1], bytes[1], text[2], bytes[2]));
    }
}

std::optional<size_t> ReceiptIndex::receiptCount()
{
    if (m_state != State::Complete || !m_changed.empty() || storeMoved())
        return std::nullopt;
    return m_rows.size();
}

bool ReceiptIndex::prepare(std::chrono::milliseconds budget, int sliceRows)
{
    const auto end = std::chrono::steady_clock::now() + budget;
    m_idleWait = std::chrono::milliseconds(0);
    Q_ASSERT(holdsState());
    try {
        if (tooLarge())
            return true;
        // Rows this connection wrote are read again by the search, row by
        // row; anything else means reading everything again.
        if (m_state == State::Complete && !storeMoved())
            return true;
        if (m_state == State::Complete || (m_state == State::Reading && storeMoved())) {
            forget();
            // The store changed under the copy. When that keeps happening
            // (another program writing more often than the copy takes to
            // read), each new start waits twice as long as the one before,
            // so that the idle program does not spend a core on reads that
            // never complete.
            ++m_restarts;
            m_idleWait = m_restarts < 2
                             ? std::chrono::milliseconds(0)
                             : std::min(kFirstWait * (1 << std::min(m_restarts - 2, 16)), kLongestWait);
            if (m_idleWait.count() > 0)
                return false;
        }
        if (m_state == State::Empty)
            beginReading(false);
        do {
            if (!readSlice(std::max(1, sliceRows))) {
                completeReading();
                return true;
            }
        } while (std::chrono::steady_clock::now() < end);
        return false;
    } catch (const Outgrown&) {
        outgrew();
    } catch (const std::bad_alloc&) {
        outgrew();
    } catch (const StoreError&) {
        // The search reads the store again and reports what it finds; a copy
        // too large stays so when the store could not tell whether it changed.
        if (m_state != State::TooLarge)
            forget();
    }
    return true;
}

// Rows this connection wrote since: each is read again, or dropped when it
// is gone.
void ReceiptIndex::reread(const std::vector<std::int64_t>& ids)
{
    Q_ASSERT(m_state == State::Complete);
    Statement one(m_connection.handle(), rowQuery("where rowid = ?1"));
    for (const std::int64_t id : ids) {
        one.reset();
        one.bind(1, qint64(id));
        const auto at = std::lower_bound(m_rows.begin(), m_rows.end(), id,
                                         [](const Row& row, std::int64_t wanted) { return row.id < wanted; });
        const bool present = at != m_rows.end() && at->id == id;
        if (present)
            m_unused += at->end - at->start;
        if (!one.step()) {
            if (present)
                m_rows.erase(at);
            continue;
        }
        const Row row =
            makeRow(id, one.text(1), one.bytes(1), one.text(2), one.bytes(2), one.text(3), one.bytes(3));
        if (present) {
            *at = row;
            m_inOrder = false;
        } else {
            if (at != m_rows.end())
                m_inOrder = false;
            m_rows.insert(at, row);
        }
    }
}

// Lays the rows' texts out again in id order, without the bytes of rows
// changed or gone.
void ReceiptIndex::compact()
{
    std::string folded;
    folded.reserve(m_folded.size() - m_unused);
    for (Row& row : m_rows) {
        const size_t start = folded.size();
        folded.append(m_folded, row.start, row.end - row.start);
        row.start = std::uint32_t(start);
        row.end = std::uint32_t(folded.size());
    }
    m_folded = std::move(folded);
    m_inOrder = true;
    m_unused = 0;
}

// One read of the file for all of it: the store's state is looked at after
// the rows, in the same read, so that a commit of another program cannot
// land between the rows and the state that vouches for them.
void ReceiptIndex::bringUpToDate()
{
    sqlite3* db = m_connection.handle();
    const bool own = sqlite3_get_autocommit(db) != 0;
    if (own)
        Statement(db, QStringLiteral("begin")).step();
    try {
        catchUp();
        if (own)
            Statement(db, QStringLiteral("commit")).step();
    } catch (...) {
        if (own && !sqlite3_get_autocommit(db))
            sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
        throw;
    }
}

// What bringUpToDate() does inside its read: Reading or Complete as far as
// they can be followed, then Complete whatever the copy was.
void ReceiptIndex::catchUp()
{
    if (m_state == State::Reading) {
        // A copy begun while the program was idle: the rest at once, or all
        // of it again when the store changed under it.
        try {
            if (!storeMoved())
                readRest();
            if (storeMoved())
                forget();
            else
                completeReading();
        } catch (...) {
            forget();
            throw;
        }
    }
    if (m_state == State::Complete && m_changed.size() > m_rows.size() / 8 + 64)
        forget();
    if (m_state == State::Complete && !m_changed.empty()) {
        std::vector<std::int64_t> ids;
        ids.swap(m_changed);
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        changing();
        try {
            reread(ids);
        } catch (...) {
            forget();
            throw;
        }
    }
    if (m_state == State::Complete && storeMoved())
        forget();
    if (m_state != State::Complete) {
        load();
        return;
    }
    if (!m_inOrder || m_unused > m_folded.size() / 2) {
        changing();
        compact();
    }
}

std::string_view ReceiptIndex::displayTitle(const Row& row) const
{
    if (row.title == kFoldedTitle) {
        const char* begin = m_folded.data() + row.start;
        const void* end = std::memchr(begin, kFieldEnd, row.end - row.start);
        return {begin, size_t(static_cast<const char*>(end) - begin)};
    }
    std::uint32_t length = 0;
    std::memcpy(&length, m_titles.data() + row.title, sizeof length);
    return {m_titles.data() + row.title + sizeof length, length};
}

bool ReceiptIndex::holds(const Row& row, const std::string& needle) const
{
    return std::string_view(m_folded.data() + row.start, row.end - row.start).find(needle) !=
           std::string_view::npos;
}

void ReceiptIndex::appendLine(TextLines& lines, std::uint32_t position) const
{
    // Lines are found in a complete copy and read out before it changes.
    Q_ASSERT(m_state == State::Complete && position < m_rows.size());
    const Row& row = m_rows[position];
    char number[24];
    const int digits = std::snprintf(number, sizeof number, "%lld", static_cast<long long>(row.id));
    appendResultLine(lines, std::string_view(number, size_t(digits)), displayTitle(row));
}

void ReceiptIndex::changing()
{
    if (m_beforeChange)
        m_beforeChange();
}

QString FoundReceipts::at(int line) const
{
    if (!m_index)
        return m_lines.at(line);
    TextLines one;
    m_index->appendLine(one, m_rows[size_t(line)]);
    return one.at(0);
}

void FoundReceipts::keep()
{
    if (!m_index)
        return;
    TextLines lines;
    lines.reserve(m_rows.size(), qsizetype(m_rows.size()) * 32);
    for (const std::uint32_t row : m_rows)
        m_index->appendLine(lines, row);
    m_lines = std::move(lines);
    m_index = nullptr;
    m_rows = {};
}

FoundReceipts ReceiptIndex::search(const QString& category, const QString& text)
{
    // A text whose characters all fold away (soft hyphens, joiners) still
    // asks for a title or a description; the copy keeps no difference
    // between none and an empty one, so the statement answers.
    if (!text.isEmpty() && folded(text.toUtf8()).empty())
        throw StoreError(QStringLiteral("the search text folds to nothing"));
    Q_ASSERT(holdsState());
    if (tooLarge())
        throw StoreError(QLatin1String(kTooMuchText));
    try {
        bringUpToDate();
    } catch (const Outgrown&) {
        outgrew();
        throw StoreError(QLatin1String(kTooMuchText));
    } catch (const std::bad_alloc&) {
        outgrew();
        throw StoreError(QStringLiteral("not enough memory to keep the receipts' texts"));
    }
    Q_ASSERT(m_state == State::Complete && holdsState());
    return find(category, text);
}

FoundReceipts ReceiptIndex::find(const QString& category, const QString& text) const
{
    std::vector<std::uint32_t> lines;
    const std::string needle = folded(text.toUtf8());
    const bool byCategory = !category.isEmpty();
    std::uint32_t wanted = kNoCategory;
    if (byCategory) {
        const auto found = m_categoryNumbers.find(categoryKey(category));
        if (found == m_categoryNumbers.end())
            return FoundReceipts(*this, {});
        wanted = found->second;
    }

    if (needle.empty() || byCategory) {
        if (!byCategory)
            lines.reserve(m_rows.size());
        for (size_t i = 0; i < m_rows.size(); ++i)
            if ((!byCategory || m_rows[i].category == wanted) && (needle.empty() || holds(m_rows[i], needle)))
                lines.push_back(std::uint32_t(i));
        return FoundReceipts(*this, std::move(lines));
    }

    // The text alone: one pass over all folded texts, which lie in id order;
    // a match in bytes no row uses any more is passed over.
    const char* base = m_folded.data();
    const char* const last = base + m_folded.size();
    const std::boyer_moore_horspool_searcher finder(needle.begin(), needle.end());
    size_t from = 0;
    auto row = m_rows.begin();
    while (row != m_rows.end()) {
        const char* hit = std::search(base + from, last, finder);
        if (hit == last)
            break;
        const auto at = std::uint32_t(hit - base);
        row = std::upper_bound(row, m_rows.end(), at,
                               [](std::uint32_t offset, const Row& r) { return offset < r.start; });
        // `row` is now the first row that starts after the match.
        if (row != m_rows.begin() && at < std::prev(row)->end && at >= std::prev(row)->start) {
            lines.push_back(std::uint32_t(std::prev(row) - m_rows.begin()));
            from = std::prev(row)->end;
        } else {
            from = row == m_rows.end() ? m_folded.size() : row->start;
        }
    }
    return FoundReceipts(*this, std::move(lines));
}

} // namespace qb
