#include "store/RowKeys.h"

#include "store/Connection.h"
#include "store/RowCache.h"
#include "store/Statement.h"

#include <QtGlobal>
#include <algorithm>
#include <limits>

namespace qb {

std::unique_ptr<Statement> TableSelect::prepare(const QString& what, const QString& tail) const
{
    QString sql = QStringLiteral("select ") + what + QStringLiteral(" from ") + table;
    if (condition)
        sql += QStringLiteral(" where (") + condition->engineText() + u')';
    auto st = std::make_unique<Statement>(connection->handle(), sql + tail);
    if (condition)
        condition->bind(*st);
    return st;
}

RowKeys::RowKeys(TableSelect select, size_t columns, RowCache& cache)
    : m_select(std::move(select)), m_columns(columns), m_cache(cache)
{
}

RowKeys::~RowKeys() = default;

// What each state holds (RowKeys.h); checked where the state matters.
bool RowKeys::holdsState() const
{
    switch (m_state) {
    case State::NothingRead:
        return m_keys.empty() && !m_scan && !m_scanBlock;
    case State::Counted:
        return !m_select.condition && m_keys.size() < size_t(m_countedRows) && !m_scan && !m_scanBlock;
    case State::Scanning:
        return m_scan && m_scanBlock;
    case State::Complete:
        return !m_scan && !m_scanBlock;
    }
    return false;
}

bool RowKeys::startCounting(const KnownCount& known)
{
    if (m_state != State::NothingRead || m_select.condition)
        return counted();
    if (const std::optional<size_t> rows = known ? known() : std::nullopt) {
        m_countedRows = qint64(*rows);
    } else {
        const auto st = m_select.prepare(QStringLiteral("count(*)"));
        m_countedRows = st->step() ? sqlite3_column_int64(st->get(), 0) : 0;
    }
    m_state = m_countedRows > 0 ? State::Counted : State::Complete;
    Q_ASSERT(holdsState());
    return counted();
}

int RowKeys::count()
{
    if (counted())
        return int(m_countedRows);
    completeAll();
    return int(m_keys.size());
}

bool RowKeys::hasRow(int index)
{
    if (counted())
        return index >= 0 && index < m_countedRows;
    need(size_t(index) + 1);
    return index >= 0 && size_t(index) < m_keys.size();
}

void RowKeys::need(size_t wanted)
{
    if (counted())
        extendCounted(wanted);
    else
        scanUntil(wanted);
}

bool RowKeys::readAhead(int ids)
{
    if (!counted())
        return false;
    extendCounted(m_keys.size() + size_t(std::max(ids, 1)));
    return counted();
}

// Reads ids in order until `wanted` are known, or all that were counted. A
// counted object has no condition, so ?1 and ?2 are the statement's only
// parameters.
void RowKeys::extendCounted(size_t wanted)
{
    Q_ASSERT(counted());
    wanted = std::min(wanted, size_t(m_countedRows));
    if (m_keys.size() >= wanted)
        return;
    const size_t missing = wanted - m_keys.size();
    const auto st = m_select.prepare(QStringLiteral("rowid"),
                                     (m_keys.empty() ? QString() : QStringLiteral(" where rowid > ?1")) +
                                         QStringLiteral(" order by rowid limit ?2"));
    if (!m_keys.empty())
        st->bind(1, m_keys.back());
    st->bind(2, qint64(missing));
    size_t found = 0;
    while (st->step()) {
        m_keys.push_back(sqlite3_column_int64(st->get(), 0));
        ++found;
    }
    // Fewer than counted: rows were deleted behind the record set's back.
    if (found < missing || m_keys.size() == size_t(m_countedRows))
        m_state = State::Complete;
    Q_ASSERT(holdsState());
}

// From nothing read nobody has read a row yet (the grid asking for the
// count), so the engine is asked for the ids alone, which spares it the
// values; from the other states the ids are read on to the end.
void RowKeys::completeAll()
{
    switch (m_state) {
    case State::Counted:
        extendCounted(size_t(m_countedRows));
        break;
    case State::Scanning:
        scanUntil(std::numeric_limits<size_t>::max());
        break;
    case State::NothingRead: {
        const auto st = m_select.prepare(QStringLiteral("rowid"), QStringLiteral(" order by rowid"));
        std::vector<qint64> found;
        while (st->step())
            found.push_back(sqlite3_column_int64(st->get(), 0));
        m_keys = std::move(found);
        m_state = State::Complete;
        break;
    }
    case State::Complete:
        break;
    }
    Q_ASSERT(m_state == State::Complete && holdsState());
}

// Called when nothing read, scanning or complete: a counted object reads ids
// alone (extendCounted).
void RowKeys::scanUntil(size_t wanted)
{
    Q_ASSERT(!counted());
    if (m_state == State::Complete || m_keys.size() >= wanted)
        return;
    if (m_state == State::NothingRead) {
        auto scan = m_select.prepare(QStringLiteral("rowid, *"), QStringLiteral(" order by rowid"));
        m_scanBlock = std::make_unique<RowBlock>(m_columns);
        m_scan = std::move(scan);
        m_state = State::Scanning;
    }
    try {
        while (m_keys.size() < wanted) {
            if (!m_scan->step()) {
                finishScan();
                return;
            }
            m_keys.push_back(sqlite3_column_int64(m_scan->get(), 0));
            m_scanBlock->addRow(m_scan->get(), 1);
            if (m_scanBlock->rows() == size_t(RowCache::kBatchRows)) {
                m_cache.remember(int(m_keys.size() / RowCache::kBatchRows) - 1, std::move(*m_scanBlock));
                m_scanBlock = std::make_unique<RowBlock>(m_columns);
            }
        }
    } catch (...) {
        abandonScan();
        throw;
    }
}

// The engine failed partway through a scan (a damaged page, an I/O error).
// What the scan found is dropped with it, so that the next move starts
// afresh from the top and no row is found twice.
void RowKeys::abandonScan()
{
    m_scan.reset();
    m_scanBlock.reset();
    m_keys.clear();
    m_state = State::NothingRead;
    m_cache.clear();
}

void RowKeys::finishScan()
{
    if (m_scanBlock && m_scanBlock->rows() > 0)
        m_cache.remember(int(m_keys.size() / RowCache::kBatchRows), std::move(*m_scanBlock));
    m_scan.reset();
    m_scanBlock.reset();
    m_state = State::Complete;
}

std::optional<size_t> RowKeys::indexOf(qint64 id) const
{
    Q_ASSERT(m_state == State::Complete);
    const auto at = std::lower_bound(m_keys.begin(), m_keys.end(), id);
    if (at == m_keys.end() || *at != id)
        return std::nullopt;
    return size_t(at - m_keys.begin());
}

int RowKeys::inserted(qint64 id)
{
    // For an auto-numbered key the new row comes last; ids not read yet are
    // read with it.
    Q_ASSERT(m_state == State::Counted || m_state == State::Complete);
    if (counted())
        return int(m_countedRows++);
    const auto at = std::lower_bound(m_keys.begin(), m_keys.end(), id);
    const int index = int(at - m_keys.begin());
    m_keys.insert(at, id);
    return index;
}

void RowKeys::erased(size_t index)
{
    Q_ASSERT((m_state == State::Counted || m_state == State::Complete) && index < m_keys.size());
    m_keys.erase(m_keys.begin() + qsizetype(index));
    if (counted())
        --m_countedRows;
}

const RowBlock* RowKeys::scanning(int batch) const
{
    if (m_state == State::Scanning && batch == int(m_keys.size() / RowCache::kBatchRows))
        return m_scanBlock.get();
    return nullptr;
}

// A dense run of ids is read as one range; a sparse one (the hits of a
// search) by its ids, so that a few hits far apart never make the engine
// walk the rows between them.
RowBlock RowKeys::readBatch(int batch) const
{
    const size_t begin = size_t(batch) * RowCache::kBatchRows;
    const size_t end = std::min(m_keys.size(), begin + RowCache::kBatchRows);
    const qint64 low = m_keys[begin];
    const qint64 high = m_keys[end - 1];
    const size_t n = end - begin;
    QString sql = QStringLiteral("select rowid, * from ") + m_select.table + QStringLiteral(" where rowid ");
    // The distance as unsigned: ids may lie at both ends of the range.
    const bool dense = quint64(high) - quint64(low) < 4 * n;
    if (dense) {
        sql += QStringLiteral("between ?1 and ?2");
    } else {
        sql += QStringLiteral("in (");
        for (size_t i = 0; i < n; ++i)
            sql += i ? QStringLiteral(",?") : QStringLiteral("?");
        sql += u')';
    }
    Statement st(m_select.connection->handle(), sql);
    if (dense) {
        st.bind(1, low);
        st.bind(2, high);
    } else {
        for (size_t i = 0; i < n; ++i)
            st.bind(int(i + 1), m_keys[begin + i]);
    }
    // Rows come in id order, as the ids are kept; a row deleted behind the
    // record set's back reads as Null.
    RowBlock out(m_columns);
    size_t next = begin;
    while (st.step()) {
        const qint64 id = sqlite3_column_int64(st.get(), 0);
        while (next < end && m_keys[next] < id) {
            out.addNullRow();
            ++next;
        }
        if (next < end && m_keys[next] == id) {
            out.addRow(st.get(), 1);
            ++next;
        }
    }
    for (; next < end; ++next)
        out.addNullRow();
    return out;
}

} // namespace qb
