#pragma once

#include "store/Condition.h"
#include "store/RowBlock.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qb {

class Connection;
class RowCache;
class Statement;

// What a keyed record set selects: the rows of one table, those that meet a
// condition when there is one.
struct TableSelect
{
    Connection* connection = nullptr;
    QString table;
    std::optional<Condition> condition; // never blank

    // "select <what> from <table> where (<condition>)" followed by `tail`,
    // with the condition's values bound from parameter 1 on.
    std::unique_ptr<Statement> prepare(const QString& what, const QString& tail = QString()) const;
};

// The ids of a keyed record set's rows, in id order, which is the order of
// its rows: row i is the row whose id is the i-th.
//
// The ids are found in one of three ways, and an object is in one state at a
// time (m_state):
//
//   * NothingRead: the state after opening; no ids are known.
//   * Counted: the count was asked before anything else, there is no
//     condition and the table is not empty. The count is the engine's count
//     of the table (m_countedRows), and ids are read in order only as far as
//     rows are asked for, so a grid over a million receipts reads a page of
//     ids. Fewer ids are known than counted.
//   * Scanning: a row was asked for first. One statement (m_scan) reads ids
//     and rows together as far as asked, and hands each full batch of rows
//     to the cache, so a walk from first to last costs the engine one pass.
//   * Complete: all ids are known.
//
// What moves an object from one state to another, and which function does it:
//
//   NothingRead -> Counted      startCounting(), without a condition, on a
//                               table that is not empty
//   NothingRead -> Complete     startCounting() on an empty table; or
//                               completeAll(), which reads the ids alone
//   NothingRead -> Scanning     need() or hasRow(), through scanUntil()
//   Counted     -> Complete     extendCounted() (from need(), readAhead(),
//                               completeAll()) reads the last counted id, or
//                               finds fewer ids than counted (rows deleted
//                               meanwhile)
//   Scanning    -> Complete     scanUntil() (from need(), hasRow(),
//                               completeAll()) reaches the statement's end:
//                               finishScan()
//   Scanning    -> NothingRead  the engine fails partway through the scan:
//                               abandonScan() drops what it found
//
// Nothing else moves back. Changing a row (inserted(), erased()) needs all ids
// except when counted, so that new ids go in order; a counted object keeps
// counting across changes.
class RowKeys
{
public:
    RowKeys(TableSelect select, size_t columns, RowCache& cache);
    ~RowKeys();
    RowKeys(const RowKeys&) = delete;
    RowKeys& operator=(const RowKeys&) = delete;

    // The number of rows of the table, when something knows it without the
    // engine counting them (none when it does not).
    using KnownCount = std::function<std::optional<size_t>()>;

    // From nothing read, and only there, goes to counted (or to complete for
    // an empty table), asking `known` before the engine. Whether it is
    // counted afterwards.
    bool startCounting(const KnownCount& known = {});
    bool counted() const { return m_state == State::Counted; }
    // The number of rows: the count when counted, otherwise all ids.
    int count();
    // Whether a row exists at `index`, reading ids on as far as needed.
    bool hasRow(int index);
    // Reads ids on until `wanted` are known, or all there are.
    void need(size_t wanted);
    // Reads `ids` more ids of a counted object; false once it is no longer counted.
    bool readAhead(int ids);
    void completeAll();

    size_t known() const { return m_keys.size(); }
    qint64 at(size_t index) const { return m_keys[index]; }
    // The row index of the id among all ids; needs completeAll() first.
    std::optional<size_t> indexOf(qint64 id) const;

    // A new row's id takes its place in order; the row index it got.
    int inserted(qint64 id);
    void erased(size_t index);

    // The rows of `batch` while the scan is still reading them; null otherwise.
    const RowBlock* scanning(int batch) const;
    // Reads the rows of `batch` from the engine.
    RowBlock readBatch(int batch) const;

private:
    enum class State {
        NothingRead,
        Counted,
        Scanning,
        Complete,
    };
    bool holdsState() const;
    void extendCounted(size_t wanted);
    void scanUntil(size_t wanted);
    void abandonScan();
    void finishScan();

    TableSelect m_select;
    size_t m_columns;
    RowCache& m_cache;
    State m_state = State::NothingRead;
    std::vector<qint64> m_keys;
    std::unique_ptr<Statement> m_scan;     // while scanning
    std::unique_ptr<RowBlock> m_scanBlock; // rows of the batch the scan is in
    qint64 m_countedRows = 0;              // while counted
};

} // namespace qb
