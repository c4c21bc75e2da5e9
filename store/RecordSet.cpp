#include "store/RecordSet.h"

#include "store/Connection.h"
#include "store/JetCompare.h"
#include "store/JetText.h"
#include "store/Statement.h"
#include "store/StoreError.h"

#include <algorithm>
#include <limits>
#include <list>
#include <sqlcipher/sqlite3.h>
#include <unordered_map>

namespace qb {

namespace {

const QString kClosed = QStringLiteral("Cannot perform this operation on a closed dataset");
const QString kEmpty = QStringLiteral("Cannot perform this operation on an empty dataset");
const QString kNoCurrent = QStringLiteral(
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
    "current record");
const QString kNotEditing = QStringLiteral("Dataset not in edit or insert mode");
const QString kReadOnly = QStringLiteral("This record set cannot be updated");

// Rows are read from the engine in batches of this many, and this many
// batches are kept; a grid page and a scroll through it stay in memory.
constexpr int kBatchRows = 512;
constexpr size_t kCachedBatches = 32;

using Row = std::vector<QVariant>;

// Rows as read from the engine, kept as their UTF-8 bytes in one buffer per
// block: reading a million rows then costs a few allocations per block of
// rows instead of one per value, and only the values asked for become
// QStrings.
class RowBlock
{
public:
    explicit RowBlock(size_t columns) : m_columns(columns) {}

    size_t rows() const { return m_columns ? m_cells.size() / m_columns : m_emptyRows; }

    void addRow(sqlite3_stmt* st, int firstColumn)
    {
        for (size_t c = 0; c < m_columns; ++c) {
            const int column = firstColumn + int(c);
            if (sqlite3_column_type(st, column) == SQLITE_NULL) {
                m_cells.push_back({0, -1});
                continue;
            }
            const auto* bytes = static_cast<const char*>(sqlite3_column_blob(st, column));
            const int length = sqlite3_column_bytes(st, column);
            m_cells.push_back({quint32(m_bytes.size()), length});
            m_bytes.append(bytes, length);
        }
        if (!m_columns)
            ++m_emptyRows;
    }

    void addNullRow()
    {
        m_cells.insert(m_cells.end(), m_columns, Cell{0, -1});
        if (!m_columns)
            ++m_emptyRows;
    }

    bool isNull(size_t row, size_t column) const { return cell(row, column).length < 0; }

    QString text(size_t row, size_t column) const
    {
        const Cell& c = cell(row, column);
        return c.length <= 0 ? QString() : QString::fromUtf8(m_bytes.constData() + c.offset, c.length);
    }

    QVariant value(size_t row, size_t column) const
    {
        return isNull(row, column) ? QVariant() : QVariant(text(row, column));
    }

private:
    struct Cell
    {
        quint32 offset;
        qint32 length; // -1 for Null
    };
    const Cell& cell(size_t row, size_t column) const { return m_cells[row * m_columns + column]; }

    size_t m_columns;
    size_t m_emptyRows = 0;
    QByteArray m_bytes;
    std::vector<Cell> m_cells;
};

// One row of a block.
struct RowRef
{
    const RowBlock* block;
    size_t row;
    QString text(size_t column) const { return block->text(row, column); }
    bool isNull(size_t column) const { return block->isNull(row, column); }
    QVariant value(size_t column) const { return block->value(row, column); }
};

struct Column
{
    QString name;
    int width = 0; // most characters; 0 = no limit
    bool longText = false;
};

QString quoteName(const QString& name)
{
    QString out = name;
    out.replace(u'"', QStringLiteral("\"\""));
    return u'"' + out + u'"';
}

QString textOf(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

} // namespace

// The open state of a record set: its columns, the ids of its rows in order,
// a cache of rows read, the current position and a pending edit.
class RecordSetCursor
{
public:
    Connection* connection = nullptr;
    // Keyed record sets read rows of `table` by row id. Others hold `rows`.
    bool keyed = false;
    QString table;
    std::optional<QString> condition; // as the engine gets it
    QString statement;

    // The one place that writes the engine's select of the record set's rows.
    QString select(const QString& what) const
    {
        QString sql = QStringLiteral("select ") + what + QStringLiteral(" from ") + table;
        if (condition)
            sql += QStringLiteral(" where (") + *condition + u')';
        return sql;
    }
    std::vector<Column> columns;

    // The ids of the rows found so far, in id order. A scan that is still
    // under way (`scan`) finds the rest; rows it passes are kept in blocks,
    // so a reader that walks the record set from first to last costs the
    // engine one pass.
    std::vector<qint64> keys;
    bool keysComplete = false;
    std::unique_ptr<Statement> scan;
    std::unique_ptr<RowBlock> scanBlock; // rows of the batch the scan is in
    std::unique_ptr<RowBlock> rows;      // only for record sets that are not keyed

    int current = -1;
    bool eof = true;

    enum class EditMode { None, Edit, Insert };
    EditMode editMode = EditMode::None;
    Row editRow;
    std::vector<bool> assigned;

    std::unordered_map<int, RowBlock> batches;
    std::list<int> batchOrder; // most recently used first

    // A record set of a whole table that is counted before it is walked
    // (the grid) reads its ids only as far as rows are asked for: the count
    // is the engine's count of the table, and the ids come in order from
    // the table's index on them, so showing a million receipts reads a
    // page of ids, not a million. Rows gone since the count read as gone.
    bool lazy = false;
    qint64 lazyCount = 0;

    int count()
    {
        if (!keyed)
            return int(rows->rows());
        if (lazy || startLazy())
            return int(lazyCount);
        completeKeys();
        return int(keys.size());
    }

    // Whether a row exists at `index`, scanning on as far as needed.
    bool hasRow(int index)
    {
        if (!keyed)
            return index >= 0 && size_t(index) < rows->rows();
        if (lazy)
            return index >= 0 && index < lazyCount;
        scanUntil(size_t(index) + 1);
        return index >= 0 && size_t(index) < keys.size();
    }

    bool startLazy()
    {
        if (condition || scan || keysComplete || !keys.empty())
            return false;
        Statement st(connection->handle(), select(QStringLiteral("count(*)")));
        lazyCount = st.step() ? sqlite3_column_int64(st.get(), 0) : 0;
        lazy = lazyCount > 0;
        keysComplete = !lazy;
        return lazy;
    }

    // Reads ids in order until `wanted` are known, or all that were counted.
    void extendKeys(size_t wanted)
    {
        wanted = std::min(wanted, size_t(lazyCount));
        if (keys.size() >= wanted)
            return;
        const size_t missing = wanted - keys.size();
        Statement st(connection->handle(),
                     select(QStringLiteral("rowid")) +
                         (keys.empty() ? QString() : QStringLiteral(" where rowid > ?1")) +
                         QStringLiteral(" order by rowid limit ?2"));
        if (!keys.empty())
            st.bind(1, keys.back());
        st.bind(2, qint64(missing));
        size_t found = 0;
        while (st.step()) {
            keys.push_back(sqlite3_column_int64(st.get(), 0));
            ++found;
        }
        // Fewer than counted: rows were deleted behind the record set's back.
        if (found < missing || keys.size() == size_t(lazyCount)) {
            lazy = false;
            keysComplete = true;
        }
    }

    // All ids. Nobody has read a row yet (the grid asking for the count),
    // so the engine is asked for the ids alone, which spares it the values.
    void completeKeys()
    {
        if (lazy)
            extendKeys(size_t(lazyCount));
        if (keysComplete)
            return;
        if (scan || !keys.empty()) {
            scanUntil(std::numeric_limits<size_t>::max());
            return;
        }
        Statement st(connection->handle(),
                     select(QStringLiteral("rowid")) + QStringLiteral(" order by rowid"));
        std::vector<qint64> found;
        while (st.step())
            found.push_back(sqlite3_column_int64(st.get(), 0));
        keys = std::move(found);
        keysComplete = true;
    }

    void scanUntil(size_t wanted)
    {
        if (lazy) {
            extendKeys(wanted);
            return;
        }
        if (keysComplete || keys.size() >= wanted)
            return;
        if (!scan) {
            scan = std::make_unique<Statement>(connection->handle(), select(QStringLiteral("rowid, *")) +
                                                                         QStringLiteral(" order by rowid"));
            scanBlock = std::make_unique<RowBlock>(columns.size());
        }
        try {
            while (keys.size() < wanted) {
                if (!scan->step()) {
                    finishScan();
                    return;
                }
                keys.push_back(sqlite3_column_int64(scan->get(), 0));
                scanBlock->addRow(scan->get(), 1);
                if (scanBlock->rows() == size_t(kBatchRows)) {
                    remember(int(keys.size() / kBatchRows) - 1, std::move(*scanBlock));
                    scanBlock = std::make_unique<RowBlock>(columns.size());
                }
            }
        } catch (...) {
            abandonScan();
            throw;
        }
    }

    // The engine failed partway through a scan (a damaged page, an I/O
    // error). What the scan found is dropped with it, so that the next move
    // starts afresh from the top and no row is found twice.
    void abandonScan()
    {
        scan.reset();
        scanBlock.reset();
        keys.clear();
        keysComplete = false;
        batches.clear();
        batchOrder.clear();
    }

    void finishScan()
    {
        if (scanBlock && scanBlock->rows() > 0)
            remember(int(keys.size() / kBatchRows), std::move(*scanBlock));
        scan.reset();
        scanBlock.reset();
        keysComplete = true;
    }

    void remember(int batch, RowBlock&& block)
    {
        batches.insert_or_assign(batch, std::move(block));
        batchOrder.remove(batch);
        batchOrder.push_front(batch);
        if (batchOrder.size() > kCachedBatches) {
            batches.erase(batchOrder.back());
            batchOrder.pop_back();
        }
    }

    int columnIndex(const QString& field) const
    {
        for (size_t i = 0; i < columns.size(); ++i)
            if (columns[i].name.compare(field, Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
    }

    // Before a change the scan is finished: changes keep the ids in order,
    // which needs all of them, and cached rows may be stale afterwards.
    void forgetRows()
    {
        if (!lazy)
            completeKeys();
        batches.clear();
        batchOrder.clear();
    }

    RowRef row(int index)
    {
        if (!keyed)
            return {rows.get(), size_t(index)};
        // A batch is read whole, so all its ids must be known first.
        scanUntil(lazy ? (size_t(index) / kBatchRows + 1) * kBatchRows : size_t(index) + 1);
        // Rows can be gone since the position was taken (a scan begun again
        // after a failure finds fewer).
        if (index < 0 || size_t(index) >= keys.size())
            throw StoreError(kNoCurrent);
        const int batch = index / kBatchRows;
        if (scanBlock && batch == int(keys.size() / kBatchRows))
            return {scanBlock.get(), size_t(index % kBatchRows)};
        auto found = batches.find(batch);
        if (found == batches.end()) {
            remember(batch, readBatch(batch));
            found = batches.find(batch);
        } else if (batchOrder.front() != batch) {
            batchOrder.remove(batch);
            batchOrder.push_front(batch);
        }
        return {&found->second, size_t(index % kBatchRows)};
    }

    // Reads the rows of one batch. A dense run of ids is read as one range;
    // a sparse one (the hits of a search) by its ids, so that a few hits far
    // apart never make the engine walk the rows between them.
    RowBlock readBatch(int batch) const
    {
        const size_t begin = size_t(batch) * kBatchRows;
        const size_t end = std::min(keys.size(), begin + kBatchRows);
        const qint64 low = keys[begin];
        const qint64 high = keys[end - 1];
        const size_t n = end - begin;
        QString sql = QStringLiteral("select rowid, * from ") + table + QStringLiteral(" where rowid ");
        const bool dense = quint64(high - low) < 4 * n;
        if (dense) {
            sql += QStringLiteral("between ?1 and ?2");
        } else {
            sql += QStringLiteral("in (");
            for (size_t i = 0; i < n; ++i)
                sql += i ? QStringLiteral(",?") : QStringLiteral("?");
            sql += u')';
        }
        Statement st(connection->handle(), sql);
        if (dense) {
            st.bind(1, low);
            st.bind(2, high);
        } else {
            for (size_t i = 0; i < n; ++i)
                st.bind(int(i + 1), keys[begin + i]);
        }
        // Rows come in id order, as the ids are kept; a row deleted behind
        // the record set's back reads as Null.
        RowBlock out(columns.size());
        size_t next = begin;
        while (st.step()) {
            const qint64 id = sqlite3_column_int64(st.get(), 0);
            while (next < end && keys[next] < id) {
                out.addNullRow();
                ++next;
            }
            if (next < end && keys[next] == id) {
                out.addRow(st.get(), 1);
                ++next;
            }
        }
        for (; next < end; ++next)
            out.addNullRow();
        return out;
    }
};

RecordSet::RecordSet(const QString& name, QObject* parent) : QObject(parent), m_name(name)
{
    setObjectName(name);
}

RecordSet::~RecordSet() = default;

void RecordSet::fail(const QString& message) const
{
    throw StoreError(m_name.isEmpty() ? message : m_name + QStringLiteral(": ") + message);
}

void RecordSet::requireActive() const
{
    if (!m_cursor)
        fail(kClosed);
}

void RecordSet::setConnection(Connection* connection)
{
    m_connection = connection;
}

void RecordSet::clearSql()
{
    m_sql.clear();
    m_table.reset();
    m_condition.reset();
}

void RecordSet::addSql(const QString& line)
{
    m_sql.append(line);
    m_table.reset();
    m_condition.reset();
}

void RecordSet::selectFrom(const QString& table, const std::optional<QString>& condition)
{
    m_sql = QStringList{QStringLiteral("select * from ") + table +
                        (condition ? QStringLiteral(" where ") + *condition : QString())};
    m_table = table;
    m_condition = condition;
}

QString RecordSet::sql() const
{
    return m_sql.join(u'\n');
}

bool RecordSet::active() const
{
    return m_cursor != nullptr;
}

void RecordSet::open()
{
    if (m_cursor)
        return;
    if (!m_connection)
        fail(QStringLiteral("Missing Connection or ConnectionString"));
    auto cursor = std::make_unique<RecordSetCursor>();
    cursor->connection = m_connection;
    cursor->statement = sql();

    sqlite3* db = m_connection->handle();
    if (m_table) {
        cursor->keyed = true;
        cursor->table = *m_table;
        // A blank condition selects every row, as no condition does.
        if (m_condition && !m_condition->trimmed().isEmpty())
            cursor->condition = jet::translateCondition(*m_condition);
        // Preparing the statement checks the table and the condition now, as
        // opening would; the rows themselves are read when first needed.
        Statement st(db, cursor->select(QStringLiteral("rowid, *")));
        const int n = sqlite3_column_count(st.get());
        for (int c = 1; c < n; ++c) {
            const QString type = QString::fromUtf8(sqlite3_column_decltype(st.get(), c));
            cursor->columns.push_back({QString::fromUtf8(sqlite3_column_name(st.get(), c)),
                                       jet::declaredWidth(type), jet::isLongText(type)});
        }
    } else {
        Statement st(db, cursor->statement);
        const int n = sqlite3_column_count(st.get());
        for (int c = 0; c < n; ++c) {
            const char* type = sqlite3_column_decltype(st.get(), c);
            cursor->columns.push_back({QString::fromUtf8(sqlite3_column_name(st.get(), c)), 0,
                                       type && jet::isLongText(QString::fromUtf8(type))});
        }
        cursor->rows = std::make_unique<RowBlock>(size_t(n));
        while (st.step())
            cursor->rows->addRow(st.get(), 0);
    }
    m_cursor = std::move(cursor);
    m_cursor->current = -1;
    m_cursor->eof = true;
    if (!m_cursor->keyed)
        first();
    else
        m_lazyFirst = true;
    emit reset();
}

void RecordSet::close()
{
    if (!m_cursor)
        return;
    m_cursor.reset();
    m_lazyFirst = false;
    emit reset();
}

void RecordSet::execSql()
{
    if (!m_connection)
        fail(QStringLiteral("Missing Connection or ConnectionString"));
    m_connection->execute(sql());
}

// A keyed record set reads its row ids on first use; until then it stands on
// its first row, which is where opening leaves every record set.
RecordSetCursor& RecordSet::cursor() const
{
    requireActive();
    if (m_lazyFirst) {
        m_lazyFirst = false;
        const bool any = m_cursor->hasRow(0);
        m_cursor->current = any ? 0 : -1;
        m_cursor->eof = !any;
    }
    return *m_cursor;
}

void RecordSet::settlePendingEdit()
{
    RecordSetCursor& c = *m_cursor;
    if (c.editMode == RecordSetCursor::EditMode::None)
        return;
    if (std::find(c.assigned.begin(), c.assigned.end(), true) != c.assigned.end())
        post();
    else
        cancel();
}

void RecordSet::setCurrent(int index, bool eof, bool force)
{
    RecordSetCursor& c = *m_cursor;
    const bool moved = force || c.current != index;
    c.current = index;
    c.eof = eof;
    if (moved)
        emit currentChanged(index);
}

void RecordSet::first()
{
    RecordSetCursor& c = cursor();
    settlePendingEdit();
    const bool any = c.hasRow(0);
    setCurrent(any ? 0 : -1, !any);
}

void RecordSet::next()
{
    RecordSetCursor& c = cursor();
    settlePendingEdit();
    if (c.hasRow(c.current + 1))
        setCurrent(c.current + 1, false);
    else
        c.eof = true;
}

bool RecordSet::eof() const
{
    return cursor().eof;
}

int RecordSet::recordCount() const
{
    // Counting first lets the count read the ids alone; standing on the
    // first row is then free.
    requireActive();
    m_cursor->count();
    return cursor().count();
}

bool RecordSet::readAhead(int ids)
{
    if (!m_cursor || !m_cursor->lazy)
        return false;
    m_cursor->extendKeys(m_cursor->keys.size() + size_t(std::max(ids, 1)));
    return m_cursor->lazy;
}

int RecordSet::currentIndex() const
{
    return m_cursor ? cursor().current : -1;
}

void RecordSet::moveTo(int index)
{
    RecordSetCursor& c = cursor();
    settlePendingEdit();
    const int n = c.count();
    if (n == 0)
        return;
    setCurrent(std::clamp(index, 0, n - 1), false);
}

int RecordSet::fieldCount() const
{
    return m_cursor ? int(m_cursor->columns.size()) : 0;
}

QStringList RecordSet::fieldNames() const
{
    QStringList names;
    if (m_cursor)
        for (const Column& column : m_cursor->columns)
            names.append(column.name);
    return names;
}

int RecordSet::requireField(const QString& field) const
{
    const int index = m_cursor->columnIndex(field);
    if (index < 0)
        fail(QStringLiteral("Field '%1' not found").arg(field));
    return index;
}

QString RecordSet::fieldAsText(const QString& field) const
{
    RecordSetCursor& c = cursor();
    const int column = requireField(field);
    if (c.editMode != RecordSetCursor::EditMode::None)
        return textOf(c.editRow[size_t(column)]);
    if (c.current < 0)
        fail(kNoCurrent);
    return c.row(c.current).text(size_t(column));
}

void RecordSet::checkWidths(const Row& values, const std::vector<bool>& assigned) const
{
    const auto& columns = m_cursor->columns;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!assigned[i] || columns[i].width <= 0 || values[i].isNull())
            continue;
        const qsizetype length = textOf(values[i]).size();
        if (length > columns[i].width)
            fail(QStringLiteral("“%1”最多只能有 %2 个字符，这里有 %3 个，请缩短后再保存。")
                     .arg(columns[i].name, QString::number(columns[i].width), QString::number(length)));
    }
}

int RecordSet::insertRow(const Row& values, const std::vector<bool>& assigned)
{
    RecordSetCursor& c = *m_cursor;
    if (!c.keyed)
        fail(kReadOnly);
    checkWidths(values, assigned);
    // All ids must be known before the table changes under a scan in progress.
    if (!c.lazy)
        c.completeKeys();
    QStringList names;
    QStringList marks;
    for (size_t i = 0; i < c.columns.size(); ++i) {
        if (assigned[i]) {
            names.append(quoteName(c.columns[i].name));
            marks.append(QStringLiteral("?"));
        }
    }
    const QString sql = names.isEmpty() ? QStringLiteral("insert into %1 default values").arg(c.table)
                                        : QStringLiteral("insert into %1 (%2) values (%3)")
                                              .arg(c.table, names.join(u','), marks.join(u','));
    sqlite3* db = c.connection->handle();
    Statement st(db, sql);
    int bindIndex = 1;
    for (size_t i = 0; i < c.columns.size(); ++i)
        if (assigned[i])
            st.bind(bindIndex++, textOf(values[i]));
    st.step();
    const qint64 id = sqlite3_last_insert_rowid(db);

    // The new row joins the record set in id order, which for an
    // auto-numbered key is at its end. Ids not read yet are read with it.
    int index = 0;
    if (c.lazy) {
        index = int(c.lazyCount++);
    } else {
        const auto at = std::lower_bound(c.keys.begin(), c.keys.end(), id);
        index = int(at - c.keys.begin());
        c.keys.insert(at, id);
    }
    c.forgetRows();
    emit rowInserted(index);
    return index;
}

void RecordSet::appendRecord(const std::vector<std::optional<QString>>& values)
{
    RecordSetCursor& c = cursor();
    settlePendingEdit();
    if (values.size() > c.columns.size())
        fail(QStringLiteral("Too many values for the fields of the record set"));
    Row row(c.columns.size());
    std::vector<bool> assigned(c.columns.size(), false);
    for (size_t i = 0; i < values.size(); ++i) {
        if (values[i]) {
            row[i] = *values[i];
            assigned[i] = true;
        }
    }
    setCurrent(insertRow(row, assigned), false, true);
}

bool RecordSet::locate(const QString& field, const QString& value)
{
    RecordSetCursor& c = cursor();
    settlePendingEdit();
    const int column = requireField(field);
    if (!c.keyed) {
        for (size_t i = 0; i < c.rows->rows(); ++i) {
            if (c.rows->text(i, size_t(column)) == value) {
                setCurrent(int(i), false);
                return true;
            }
        }
        return false;
    }
    c.completeKeys();
    Statement st(c.connection->handle(), QStringLiteral("select rowid from %1 where %2 = ?1 order by rowid")
                                             .arg(c.table, quoteName(c.columns[size_t(column)].name)));
    st.bind(1, value);
    while (st.step()) {
        const qint64 id = sqlite3_column_int64(st.get(), 0);
        const auto at = std::lower_bound(c.keys.begin(), c.keys.end(), id);
        if (at != c.keys.end() && *at == id) {
            setCurrent(int(at - c.keys.begin()), false);
            return true;
        }
    }
    return false;
}

void RecordSet::edit()
{
    RecordSetCursor& c = cursor();
    if (c.editMode != RecordSetCursor::EditMode::None)
        return;
    if (!c.keyed)
        fail(kReadOnly);
    if (!c.hasRow(0)) {
        c.editMode = RecordSetCursor::EditMode::Insert;
        c.editRow.assign(c.columns.size(), QVariant());
    } else {
        if (c.current < 0)
            fail(kNoCurrent);
        c.editMode = RecordSetCursor::EditMode::Edit;
        const RowRef current = c.row(c.current);
        c.editRow.clear();
        for (size_t i = 0; i < c.columns.size(); ++i)
            c.editRow.push_back(current.value(i));
    }
    c.assigned.assign(c.columns.size(), false);
}

bool RecordSet::editing() const
{
    return m_cursor && m_cursor->editMode != RecordSetCursor::EditMode::None;
}

void RecordSet::setFieldValue(const QString& field, const QString& value)
{
    RecordSetCursor& c = cursor();
    const int column = requireField(field);
    if (c.editMode == RecordSetCursor::EditMode::None)
        fail(kNotEditing);
    c.editRow[size_t(column)] = value;
    c.assigned[size_t(column)] = true;
}

void RecordSet::post()
{
    RecordSetCursor& c = cursor();
    if (c.editMode == RecordSetCursor::EditMode::None)
        fail(kNotEditing);
    if (c.editMode == RecordSetCursor::EditMode::Insert) {
        const int index = insertRow(c.editRow, c.assigned);
        c.editMode = RecordSetCursor::EditMode::None;
        setCurrent(index, false, true);
        return;
    }
    checkWidths(c.editRow, c.assigned);
    c.lazy ? c.scanUntil(size_t(c.current) + 1) : c.completeKeys();
    QStringList sets;
    for (size_t i = 0; i < c.columns.size(); ++i)
        if (c.assigned[i])
            sets.append(quoteName(c.columns[i].name) + QStringLiteral(" = ?"));
    if (!sets.isEmpty()) {
        Statement st(c.connection->handle(),
                     QStringLiteral("update %1 set %2 where rowid = ?").arg(c.table, sets.join(u',')));
        int bindIndex = 1;
        for (size_t i = 0; i < c.columns.size(); ++i)
            if (c.assigned[i])
                st.bind(bindIndex++, textOf(c.editRow[i]));
        st.bind(bindIndex, c.keys[size_t(c.current)]);
        st.step();
    }
    c.editMode = RecordSetCursor::EditMode::None;
    c.forgetRows();
    emit rowChanged(c.current);
}

void RecordSet::cancel()
{
    if (m_cursor)
        m_cursor->editMode = RecordSetCursor::EditMode::None;
}

void RecordSet::deleteRecord()
{
    RecordSetCursor& c = cursor();
    if (c.editMode == RecordSetCursor::EditMode::Insert)
        cancel();
    if (!c.hasRow(0))
        fail(kEmpty);
    if (!c.keyed)
        fail(kReadOnly);
    if (c.current < 0)
        fail(kNoCurrent);
    c.editMode = RecordSetCursor::EditMode::None;
    const int index = c.current;
    c.lazy ? c.scanUntil(size_t(index) + 1) : c.completeKeys();
    if (size_t(index) >= c.keys.size())
        fail(kNoCurrent);
    Statement st(c.connection->handle(), QStringLiteral("delete from %1 where rowid = ?1").arg(c.table));
    st.bind(1, c.keys[size_t(index)]);
    st.step();
    c.keys.erase(c.keys.begin() + index);
    if (c.lazy)
        --c.lazyCount;
    c.forgetRows();
    emit rowRemoved(index);
    // The row after the deleted one becomes current; after the last, the new last.
    const int n = c.count();
    // The row at `index` is another one now, so the grid hears of it even
    // when the number stays.
    setCurrent(n == 0 ? -1 : std::min(index, n - 1), n == 0, true);
}

QString RecordSet::displayText(int row, int column) const
{
    RecordSetCursor& c = cursor();
    if (column < 0 || column >= int(c.columns.size()) || !c.hasRow(row))
        return QString();
    // Ids read on demand can come short of the count, when rows went meanwhile.
    if (c.lazy)
        c.scanUntil((size_t(row) / kBatchRows + 1) * kBatchRows);
    if (c.keyed && size_t(row) >= c.keys.size())
        return QString();
    const RowRef r = c.row(row);
    if (c.columns[size_t(column)].longText)
        return r.isNull(size_t(column)) ? QStringLiteral("(WideMemo)") : QStringLiteral("(WIDEMEMO)");
    return r.text(size_t(column));
}

} // namespace qb
