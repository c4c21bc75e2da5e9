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
    bool loaded() const { return m_loaded; }
    size_t memoryBytes() const;
    // How many times the copy was read whole (for tests and the bench).
    int loads() const { return m_loads; }

private:
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
    struct TooLarge
    {
    };
    // What tells whether the store changed: the connection's session, the
    // file's version and this connection's changes.
    struct StoreState
    {
        unsigned long long session;
        long long dataVersion;
        long long totalChanges;
        bool operator==(const StoreState&) const = default;
    };

    void load();
    // Reading the copy a slice at a time: started, one more slice (false when
    // none was left), stale (the store changed under it), complete.
    void startLoading();
    QString unreadRows(const char* tail) const;
    bool readSlice(int rows);
    bool loadingStale();
    bool loadedStale();
    void completeLoading();
    void readAll(Statement& rows);
    void addRows(std::string_view batch);
    void reread(const std::vector<std::int64_t>& ids);
    void compact();
    void forget();
    Row makeRow(std::int64_t id, const unsigned char* category, int categoryBytes, const unsigned char* title,
                int titleBytes, const unsigned char* description, int descriptionBytes);
    std::uint32_t categoryNumber(std::string key);
    StoreState storeState();
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
    bool m_loaded = false;
    int m_loads = 0;
    // A copy read a slice at a time: the last receipt number read, and what
    // the store was when the reading began.
    bool m_loading = false;
    std::int64_t m_readUpTo = 0;
    unsigned long long m_loadingSession = 0;
    long long m_loadingVersion = 0;
    long long m_loadingUnreported = 0;
    // Reads begun again since one last completed, and the wait they ask for.
    int m_restarts = 0;
    std::chrono::milliseconds m_idleWait{0};
    // Set when the copy was too large for the store in this state.
    std::optional<StoreState> m_tooLarge;
    // What the copy was read from: the connection's session, the file's
    // version and the changes the engine did not report by row.
    unsigned long long m_session = 0;
    long long m_dataVersion = 0;
    long long m_unreported = 0;
    std::vector<std::int64_t> m_changed; // ids written since, by this connection

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
