#include "store/RecordSet.h"

#include "store/Connection.h"
#include "store/JetText.h"
#include "store/RowBlock.h"
#include "store/RowCache.h"
#include "store/RowKeys.h"
#include "store/Statement.h"
#include "store/StoreError.h"

#include <algorithm>
#include <sqlcipher/sqlite3.h>

namespace qb {

namespace {

const QString kClosed = QStringLiteral("Cannot perform this operation on a closed dataset");
const QString kEmpty = QStringLiteral("Cannot perform this operation on an empty dataset");
const QString kNoCurrent = QStringLiteral(
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
    "current record");
const QString kNotEditing = QStringLiteral("Dataset not in edit or insert mode");
const QString kReadOnly = QStringLiteral("This record set cannot be updated");
const QString kRowGone = QStringLiteral(
    "Row cannot be located for updating. Some values may have been changed since it was last read");

using Row = std::vector<QVariant>;

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

// The row being edited or added: its values, and which of them were set.
class EditBuffer
{
public:
    enum class Mode { None, Edit, Insert };

    Mode mode() const { return m_mode; }
    bool active() const { return m_mode != Mode::None; }
    const Row& values() const { return m_values; }
    const std::vector<bool>& assigned() const { return m_assigned; }
    bool anyAssigned() const
    {
        return std::find(m_assigned.begin(), m_assigned.end(), true) != m_assigned.end();
    }

    void beginInsert(size_t columns)
    {
        m_mode = Mode::Insert;
        m_values.assign(columns, QVariant());
        m_assigned.assign(columns, false);
    }
    void beginEdit(const RowRef& row, size_t columns)
    {
        m_mode = Mode::Edit;
        m_values.clear();
        for (size_t i = 0; i < columns; ++i)
            m_values.push_back(row.value(i));
        m_assigned.assign(columns, false);
    }
    void set(size_t column, const QString& value)
    {
        m_values[column] = value;
        m_assigned[column] = true;
    }
    void end() { m_mode = Mode::None; }

private:
    Mode m_mode = Mode::None;
    Row m_values;
    std::vector<bool> m_assigned;
};

} // namespace

// The open state of a record set: its columns, its rows (in memory, or by
// their ids with a cache of rows read), the current position and the row
// being edited.
class RecordSetCursor
{
public:
    Connection* connection = nullptr;
    QString statement;
    std::vector<Column> columns;
    // A keyed record set reads the rows of `table` by id; any other holds `rows`.
    QString table;
    RowCache cache;
    std::unique_ptr<RowKeys> keys; // fills `cache` as it scans
    std::unique_ptr<RowBlock> rows;

    int current = -1;
    bool eof = true;
    EditBuffer edit;

    bool keyed() const { return keys != nullptr; }

    int count() { return keyed() ? keys->count() : int(rows->rows()); }

    bool hasRow(int index)
    {
        if (!keyed())
            return index >= 0 && size_t(index) < rows->rows();
        return keys->hasRow(index);
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
        if (!keys->counted())
            keys->completeAll();
        cache.clear();
    }

    RowRef row(int index)
    {
        if (!keyed())
            return {rows.get(), size_t(index)};
        // A batch is read whole, so all its ids must be known first.
        keys->need(keys->counted() ? (size_t(index) / RowCache::kBatchRows + 1) * RowCache::kBatchRows
                                   : size_t(index) + 1);
        // Rows can be gone since the position was taken (a scan begun again
        // after a failure finds fewer).
        if (index < 0 || size_t(index) >= keys->known())
            throw StoreError(kNoCurrent);
        const int batch = index / RowCache::kBatchRows;
        const size_t inBatch = size_t(index % RowCache::kBatchRows);
        if (const RowBlock* scanning = keys->scanning(batch))
            return {scanning, inBatch};
        const RowBlock* block = cache.find(batch);
        if (!block)
            block = &cache.remember(batch, keys->readBatch(batch));
        return {block, inBatch};
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
    if (condition)
        selectFrom(table, Condition::fromText(*condition));
    else
        selectFrom(table, std::optional<Condition>());
}

void RecordSet::selectFrom(const QString& table, const std::optional<Condition>& condition)
{
    m_sql = QStringList{QStringLiteral("select * from ") + table +
                        (condition ? QStringLiteral(" where ") + condition->text() : QString())};
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
        TableSelect select{m_connection, *m_table, std::nullopt};
        // A blank condition selects every row, as no condition does.
        if (m_condition && !m_condition->isBlank())
            select.condition = m_condition;
        // Preparing the statement checks the table and the condition now, as
        // opening would; the rows themselves are read when first needed.
        const auto st = select.prepare(QStringLiteral("rowid, *"));
        const int n = sqlite3_column_count(st->get());
        for (int c = 1; c < n; ++c) {
            const QString type = QString::fromUtf8(sqlite3_column_decltype(st->get(), c));
            cursor->columns.push_back({QString::fromUtf8(sqlite3_column_name(st->get(), c)),
                                       jet::declaredWidth(type), jet::isLongText(type)});
        }
        cursor->table = *m_table;
        cursor->keys = std::make_unique<RowKeys>(std::move(select), cursor->columns.size(), cursor->cache);
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
    if (!m_cursor->keyed())
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
    const EditBuffer& edit = m_cursor->edit;
    if (!edit.active())
        return;
    if (edit.anyAssigned())
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
    // A count asked before anything is read counts the table instead of
    // reading its ids (RowKeys.h), or else reads the ids alone; standing on
    // the first row is then free.
    requireActive();
    if (m_cursor->keyed())
        m_cursor->keys->startCounting(m_table == m_knownCountTable ? m_knownCount : nullptr);
    m_cursor->count();
    return cursor().count();
}

bool RecordSet::readAhead(int ids)
{
    return m_cursor && m_cursor->keyed() && m_cursor->keys->readAhead(ids);
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
    if (c.edit.active())
        return textOf(c.edit.values()[size_t(column)]);
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
    if (!c.keyed())
        fail(kReadOnly);
    checkWidths(values, assigned);
    // All ids must be known before the table changes under a scan in progress.
    if (!c.keys->counted())
        c.keys->completeAll();
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

    // The new row joins the record set in id order.
    const int index = c.keys->inserted(id);
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
    if (!c.keyed()) {
        for (size_t i = 0; i < c.rows->rows(); ++i) {
            if (c.rows->text(i, size_t(column)) == value) {
                setCurrent(int(i), false);
                return true;
            }
        }
        return false;
    }
    c.keys->completeAll();
    Statement st(c.connection->handle(), QStringLiteral("select rowid from %1 where %2 = ?1 order by rowid")
                                             .arg(c.table, quoteName(c.columns[size_t(column)].name)));
    st.bind(1, value);
    while (st.step()) {
        if (const auto index = c.keys->indexOf(sqlite3_column_int64(st.get(), 0))) {
            setCurrent(int(*index), false);
            return true;
        }
    }
    return false;
}

void RecordSet::edit()
{
    RecordSetCursor& c = cursor();
    if (c.edit.active())
        return;
    if (!c.keyed())
        fail(kReadOnly);
    if (!c.hasRow(0)) {
        c.edit.beginInsert(c.columns.size());
    } else {
        if (c.current < 0)
            fail(kNoCurrent);
        c.edit.beginEdit(c.row(c.current), c.columns.size());
    }
}

bool RecordSet::editing() const
{
    return m_cursor && m_cursor->edit.active();
}

void RecordSet::setFieldValue(const QString& field, const QString& value)
{
    RecordSetCursor& c = cursor();
    const int column = requireField(field);
    if (!c.edit.active())
        fail(kNotEditing);
    c.edit.set(size_t(column), value);
}

void RecordSet::post()
{
    RecordSetCursor& c = cursor();
    if (!c.edit.active())
        fail(kNotEditing);
    const Row& values = c.edit.values();
    const std::vector<bool>& assigned = c.edit.assigned();
    if (c.edit.mode() == EditBuffer::Mode::Insert) {
        const int index = insertRow(values, assigned);
        c.edit.end();
        setCurrent(index, false, true);
        return;
    }
    checkWidths(values, assigned);
    c.keys->counted() ? c.keys->need(size_t(c.current) + 1) : c.keys->completeAll();
    QStringList sets;
    for (size_t i = 0; i < c.columns.size(); ++i)
        if (assigned[i])
            sets.append(quoteName(c.columns[i].name) + QStringLiteral(" = ?"));
    if (!sets.isEmpty()) {
        Statement st(c.connection->handle(),
                     QStringLiteral("update %1 set %2 where rowid = ?").arg(c.table, sets.join(u',')));
        int bindIndex = 1;
        for (size_t i = 0; i < c.columns.size(); ++i)
            if (assigned[i])
                st.bind(bindIndex++, textOf(values[i]));
        st.bind(bindIndex, c.keys->at(size_t(c.current)));
        st.step();
        // Another program may have deleted the row since it was read: a
        // change that reached no row is not stored, and must not look so.
        if (c.connection->changes() == 0)
            fail(kRowGone);
    }
    c.edit.end();
    c.forgetRows();
    emit rowChanged(c.current);
}

void RecordSet::cancel()
{
    if (m_cursor)
        m_cursor->edit.end();
}

void RecordSet::deleteRecord()
{
    RecordSetCursor& c = cursor();
    if (c.edit.mode() == EditBuffer::Mode::Insert)
        cancel();
    if (!c.hasRow(0))
        fail(kEmpty);
    if (!c.keyed())
        fail(kReadOnly);
    if (c.current < 0)
        fail(kNoCurrent);
    c.edit.end();
    const int index = c.current;
    c.keys->counted() ? c.keys->need(size_t(index) + 1) : c.keys->completeAll();
    if (size_t(index) >= c.keys->known())
        fail(kNoCurrent);
    Statement st(c.connection->handle(), QStringLiteral("delete from %1 where rowid = ?1").arg(c.table));
    st.bind(1, c.keys->at(size_t(index)));
    st.step();
    c.keys->erased(size_t(index));
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
    if (c.keyed() && c.keys->counted())
        c.keys->need((size_t(row) / RowCache::kBatchRows + 1) * RowCache::kBatchRows);
    if (c.keyed() && size_t(row) >= c.keys->known())
        return QString();
    const RowRef r = c.row(row);
    if (c.columns[size_t(column)].longText)
        return r.isNull(size_t(column)) ? QStringLiteral("(WideMemo)") : QStringLiteral("(WIDEMEMO)");
    return r.text(size_t(column));
}

} // namespace qb
