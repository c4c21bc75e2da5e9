#pragma once

#include "store/FoundReceipts.h"
#include "util/TextLines.h"

#include <QString>
#include <absl/container/flat_hash_map.h>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qb {

class Connection;
class Statement;

// The receipt search without a scan of the store per search: the first
// search reads the searched fields of every receipt into memory, folded as
// the store's LIKE and "=" compare them, and later searches look there.
//
// The copy follows the store. Every row this connection writes is read again
// before the next search; a write by another connection (another program, an
// outside shell), or one the engine does not report row by row, makes the
// next search read everything again. A search therefore finds exactly the
// receipts that the search's statement finds in the store at that moment.
//
// Memory: the folded title and description of every receipt, about their
// size in the store, and 24 bytes per receipt. Past `mostFoldedBytes` of
// folded text (at most 1 GB) the copy would cost more memory than a scan of
// the store costs time: the search then goes to the store until the store
// changes.
//
// The copy is in one state at a time (m_state):
//
//   * Empty: nothing in memory. The state after construction and after
//     the copy is dropped (forget()).
//   * Reading: read a slice at a time while the program is idle: the
//     receipts up to number m_readUpTo, and what the store was when the
//     reading began (m_readFrom).
//   * Complete: every receipt as the store held them at m_readFrom, and the
//     numbers of the rows this connection wrote since (m_changed), which the
//     next search reads again.
//   * TooLarge: nothing in memory; the copy outgrew its limit or the memory
//     while the store was as m_readFrom says.
//
// Stale is not held in the state: nothing tells the copy when another
// program commits. A Reading or Complete copy is stale when the store moved
// on since m_readFrom in a way the copy cannot follow (another connection's
// commit, the connection opened anew, a change the engine did not report by
// row); storeMoved() asks the connection, and where it is asked the copy goes
// back to Empty. Rows this connection writes do not make the copy stale: the
// connection reports them, and Reading and Complete note them.
//
// What moves the copy from one state to another, and which function does it:
//
//   Empty    -> Reading   prepare(): beginReading()
//   Reading  -> Reading   prepare(): readSlice(), one slice more
//   Reading  -> Complete  prepare(): a slice that finds the rest read
//                         (completeReading()); search(): the rest in one
//                         read (catchUp())
//   Empty    -> Complete  search(): everything in one read (load())
//   Complete -> Complete  search(): the rows this connection wrote read again
//                         (reread()) and the texts laid out in order (compact())
//   Reading, Complete -> Empty
//                         stale, seen by prepare() or catchUp(); more rows of
//                         this connection's than are worth reading one by one
//                         (catchUp()); a read that fails (forget())
//   any      -> TooLarge  the copy outgrows its limit or the memory while
//                         prepare() or search() reads it (outgrew())
//   TooLarge -> Empty     the store changed at all, this connection's own
//                         writes among them (tooLarge(), asked by prepare()
//                         and search())
//
// prepare() counts the reads it begins again because the store moved on
// (m_restarts); the wait it asks for grows with them, and a read that
// completes ends it.
class ReceiptIndex
{
public:
    static constexpr size_t kMostFoldedBytes = size_t(1) << 30;

    explicit ReceiptIndex(Connection& connection, size_t mostFoldedBytes = kMostFoldedBytes);
    ~ReceiptIndex();
    ReceiptIndex(const ReceiptIndex&) = delete;
    ReceiptIndex& operator=(const ReceiptIndex&) = delete;

    // The receipts filed under `category` (when not empty) whose title or
    // description holds `text` (when not empty), in number order, as result
    // lines "<number>|<trimmed title>". Throws StoreError when the store
    // cannot be read or the copy cannot be had.
    FoundReceipts search(const QString& category, const QString& text);

    // Reads part of the copy ahead of the first search, slices of
    // `sliceRows` receipts for about `budget`, so that the program can build
    // it while it is idle: a search then finds it ready, and one pressed
    // before it is complete reads the rest at once. A complete copy that
    // another program's write made stale is begun again, after a wait when
    // that keeps happening (idleWait()). True when there is
    // nothing more to read: the copy is complete (bar this connection's own
    // writes, which the search reads row by row), or cannot be had now (the
    // search will then say why or go to the store).
    static constexpr int kSliceRows = 1024;
    bool prepare(std::chrono::milliseconds budget, int sliceRows = kSliceRows);
    // How long to wait before calling prepare() again when it was not done:
    // nothing, but after reads that the store's changes made begin again
    // one after another; a read that completes ends the waiting.
    std::chrono::milliseconds idleWait() const { return m_idleWait; }
    static constexpr std::chrono::milliseconds kFirstWait{125};
    static constexpr std::chrono::milliseconds kLongestWait{64000};

    // Called before the copy changes, while earlier results can still be read.
    void setBeforeChange(std::function<void()> beforeChange) { m_beforeChange = std::move(beforeChange); }
    // The result line of the row at `position` of the copy as it stands.
    void appendLine(TextLines& lines, std::uint32_t position) const;

    // The number of receipts in the store, when the copy knows it without
    // reading the store: it is complete and nothing was written since, by
    // this connection or another. A count by the engine reads a million
    // receipts' worth of pages; this one costs one question about the file.
    std::optional<size_t> receiptCount();

    // Whether the copy is in memory, and what it costs.
    bool loaded() const { return m_state == State::Complete; }
    size_t memoryBytes() const;
    // How many times the copy was read whole (for tests and the bench).
    int loads() const { return m_loads; }

private:
    enum class State {
        Empty,
        Reading,
        Complete,
        TooLarge,
    };
    struct Row
    {
        std::int64_t id;
        std::uint32_t start; // folded "title\xFF description\xFF" in m_folded
        std::uint32_t end;
        std::uint32_t category; // into m_categories; kNoCategory for Null
        std::uint32_t title;    // display title in m_titles; kFoldedTitle when it is the folded one
    };
    static constexpr std::uint32_t kNoCategory = UINT32_MAX;
    static constexpr std::uint32_t kFoldedTitle = UINT32_MAX;
    // The copy outgrew its limit.
    struct Outgrown
    {
    };
    // What tells whether the store changed: the connection's session, the
    // file's version, this connection's changes and of them those the engine
    // did not report by row.
    struct StoreState
    {
        unsigned long long session = 0;
        long long dataVersion = 0;
        long long totalChanges = 0;
        long long unreported = 0;
    };

    bool holdsState() const;
    StoreState storeState();
    bool storeMoved();
    bool tooLarge();
    void outgrew();
    void reserveRoom(bool countRows);
    void beginReading(bool countRows);
    QString unreadRows(const char* tail) const;
    bool readSlice(int rows);
    void readRest();
    void completeReading();
    void load();
    void readAll(Statement& rows);
    void addRows(std::string_view batch);
    void reread(const std::vector<std::int64_t>& ids);
    void compact();
    void forget();
    Row makeRow(std::int64_t id, const unsigned char* category, int categoryBytes, const unsigned char* title,
                int titleBytes, const unsigned char* description, int descriptionBytes);
    std::uint32_t categoryNumber(std::string key);
    std::string_view displayTitle(const Row& row) const;
    bool holds(const Row& row, const std::string& needle) const;
    void bringUpToDate();
    void catchUp();
    FoundReceipts find(const QString& category, const QString& text) const;
    void changing();

    Connection& m_connection;
    const size_t m_mostFoldedBytes;
    int m_watch = 0;
    std::function<void()> m_beforeChange;
    State m_state = State::Empty;
    int m_loads = 0;
    // Reading, Complete: what the store was when the reading began;
    // TooLarge: what it was when the copy outgrew its limit.
    StoreState m_readFrom;
    std::int64_t m_readUpTo = 0;         // Reading: the last receipt number read
    std::vector<std::int64_t> m_changed; // Reading, Complete: ids written since, by this connection
    // Reads begun again since one last completed, and the wait they ask for.
    int m_restarts = 0;
    std::chrono::milliseconds m_idleWait{0};

    std::vector<Row> m_rows; // in id order
    std::string m_folded;
    std::string m_titles;
    // Categories repeat across a million rows: open tables looked up by
    // view, so that a row costs one probe and no string of its own.
    absl::flat_hash_map<std::string, std::uint32_t> m_categoryNumbers;  // categoryKey(): its number
    absl::flat_hash_map<std::string, std::uint32_t> m_storedCategories; // as stored: their number
    // Whether the rows' texts lie in m_folded in id order, which a search
    // of the whole buffer needs, and how many bytes there no row uses.
    bool m_inOrder = true;
    size_t m_unused = 0;
};

} // namespace qb
