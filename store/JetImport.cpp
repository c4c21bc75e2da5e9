#include "store/JetImport.h"

#include "store/Connection.h"
#include "store/Schema.h"
#include "store/Statement.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <mdbtools.h>

namespace qb::jet {

namespace {

constexpr int kRowOffsetMask = 0x1fff;
constexpr int kMemoHeaderBytes = 12;

struct HandleClose
{
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFree
{
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
struct GFree
{
    void operator()(char* text) const { g_free(text); }
};

using Value = std::optional<std::string>;
using Row = std::vector<Value>;

// The text of one field as the reader gives it (UTF-8). A memo can be far
// longer than the reader's default buffer, which would cut it: the buffer is
// sized for the memo's own length first (at most three bytes of UTF-8 for
// each two bytes stored).
std::string fieldText(MdbHandle* mdb, const MdbColumn& column, const MdbField& field)
{
    // A damaged row can place a field outside its page.
    if (field.start < 0 || field.siz < 0 || size_t(field.start) + size_t(field.siz) > sizeof mdb->pg_buf)
        throw ImportError("a value lies outside its page");
    size_t bufferSize = MDB_BIND_SIZE;
    if (column.col_type == MDB_MEMO || column.col_type == MDB_TEXT) {
        size_t stored = size_t(field.siz);
        if (column.col_type == MDB_MEMO && field.siz >= kMemoHeaderBytes) {
            // The length in the memo's header counts only for a memo on
            // long-value pages; one in the row or on one page is no longer
            // than its place, whatever a damaged header says.
            const auto header = std::uint32_t(mdb_get_int32(mdb->pg_buf, field.start));
            if (header & 0x80000000u)
                stored = size_t(field.siz - kMemoHeaderBytes);
            else if (header & 0x40000000u)
                stored = sizeof mdb->pg_buf;
            else
                stored = header & 0x3fffffffu;
        }
        bufferSize = std::max(bufferSize, stored / 2 * 3 + 16);
    }
    mdb_set_bind_size(mdb, bufferSize);
    const std::unique_ptr<char, GFree> text(
        mdb_col_to_string(mdb, mdb->pg_buf, field.start, column.col_type, field.siz));
    if (!text)
        throw ImportError("a value cannot be read");
    return std::string(text.get());
}

// Calls `visit` for every row of the table `name` that is not deleted, its
// values by column position. Returns false when the file has no such table.
bool readTable(MdbHandle* mdb, const char* name, unsigned minimumColumns,
               const std::function<void(long long rows)>& start, const std::function<void(const Row&)>& visit)
{
    MdbCatalogEntry* entry = mdb_get_catalogentry_by_name(mdb, name);
    if (!entry || entry->object_type != MDB_TABLE)
        return false;
    const std::unique_ptr<MdbTableDef, TableFree> table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get()) || table->num_cols < minimumColumns)
        throw ImportError("a table cannot be read");
    start(table->num_rows);
    mdb_rewind_table(table.get());
    std::vector<MdbField> fields(table->num_cols);
    Row row(table->num_cols);
    while (mdb_fetch_row(table.get())) {
        int rowStart = 0;
        size_t rowSize = 0;
        if (mdb_find_row(mdb, int(table->cur_row) - 1, &rowStart, &rowSize) != 0)
            throw ImportError("a row cannot be found");
        const int count = mdb_crack_row(table.get(), rowStart & kRowOffsetMask, rowSize, fields.data());
        if (count < 0 || unsigned(count) > table->num_cols)
            throw ImportError("a row cannot be read");
        std::fill(row.begin(), row.end(), std::nullopt);
        for (int i = 0; i < count; ++i) {
            const MdbField& field = fields[size_t(i)];
            if (field.is_null || field.colnum < 0 || unsigned(field.colnum) >= table->num_cols)
                continue;
            const auto* column =
                static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, field.colnum));
            row[size_t(field.colnum)] = fieldText(mdb, *column, field);
        }
        visit(row);
    }
    return true;
}

// Runs an insert; rows that the new store refuses (the same number twice)
// come from a damaged file.
void insertRow(Statement& insert)
{
    try {
        insert.step();
    } catch (const StoreError& error) {
        if (error.engineCode() == SQLITE_CONSTRAINT)
            throw ImportError(error.what());
        throw;
    }
    insert.reset();
}

// The old store never gave a number twice: after its last receipts were
// deleted, the next one still got a number above theirs. Its table
// definition holds the next number; ours continues from there.
void continueNumbering(MdbHandle* mdb, Connection& store, const char* jetTable, const QString& table)
{
    constexpr int kNextNumberOffset = 20;
    MdbCatalogEntry* entry = mdb_get_catalogentry_by_name(mdb, jetTable);
    if (!entry || !mdb_read_pg(mdb, entry->table_pg) || mdb->pg_buf[0] != 0x02)
        return;
    const long long next = std::uint32_t(mdb_get_int32(mdb->pg_buf, kNextNumberOffset));
    if (next < 2 || next > 0x7fffffffLL)
        return;
    // sqlite_sequence has one row per table at most, and no key to replace by.
    Statement raise(store.handle(),
                    QStringLiteral("update sqlite_sequence set seq = max(seq, ?2) where name = ?1"));
    raise.bind(1, table);
    raise.bind(2, next - 1);
    raise.step();
    if (store.changes() > 0)
        return;
    Statement add(store.handle(), QStringLiteral("insert into sqlite_sequence(name, seq) values(?1, ?2)"));
    add.bind(1, table);
    add.bind(2, next - 1);
    add.step();
}

void bindValue(Statement& statement, int index, const Value& value)
{
    if (value)
        sqlite3_bind_text(statement.get(), index, value->data(), int(value->size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(statement.get(), index);
}

// A counter as the reader gives it: decimal digits. Null lets the engine
// number the row.
void bindNumber(Statement& statement, int index, const Value& value)
{
    if (!value) {
        sqlite3_bind_null(statement.get(), index);
        return;
    }
    char* end = nullptr;
    errno = 0;
    const long long number = std::strtoll(value->c_str(), &end, 10);
    if (value->empty() || *end != '\0' || errno != 0)
        throw ImportError("a number is not a number");
    sqlite3_bind_int64(statement.get(), index, number);
}

} // namespace

ImportCounts importJetStore(const QByteArray& jetPath, const QString& storePath,
                            const std::function<void(long long done, long long total)>& progress)
{
    // The reader gives texts in the encoding this names; we want its default, UTF-8.
    unsetenv("MDBICONV");
    const std::unique_ptr<MdbHandle, HandleClose> mdb(mdb_open(jetPath.constData(), MDB_NOFLAGS));
    if (!mdb || !mdb_read_catalog(mdb.get(), MDB_TABLE))
        throw ImportError("not a readable Jet file");

    Connection::createDatabase(storePath, schema::kStorePassword);
    Connection store;
    store.open(storePath, schema::kStorePassword);
    store.execute(schema::kCreateCategories);
    store.execute(schema::kCreateReceipts);
    store.execute(schema::kCreateNumberIndex);
    store.execute(schema::kCreatePictureIndex);
    store.execute(QStringLiteral("BEGIN"));

    ImportCounts counts;
    {
        Statement insert(store.handle(),
                         QStringLiteral("insert into %1 values(?,?)").arg(schema::kCategories));
        readTable(
            mdb.get(), "ml", 2, [](long long) {},
            [&](const Row& row) {
                bindNumber(insert, 1, row[0]);
                bindValue(insert, 2, row[1]);
                insertRow(insert);
                ++counts.categories;
            });
    }
    {
        Statement insert(store.handle(),
                         QStringLiteral("insert into %1 values(?,?,?,?,?)").arg(schema::kReceipts));
        long long total = 0;
        readTable(
            mdb.get(), "pj", 5,
            [&](long long rows) {
                total = rows;
                progress(0, total);
            },
            [&](const Row& row) {
                bindNumber(insert, 1, row[0]);
                for (int i = 1; i < 5; ++i)
                    bindValue(insert, i + 1, row[size_t(i)]);
                insertRow(insert);
                if (++counts.receipts % 1000 == 0)
                    progress(counts.receipts, std::max(total, counts.receipts));
            });
        continueNumbering(mdb.get(), store, "pj", schema::kReceipts);
    }
    {
        // The password table exists once someone has logged in; its rows
        // keep their order, since the login reads the first.
        std::optional<Statement> insert;
        readTable(
            mdb.get(), "pass", 1,
            [&](long long) {
                store.execute(schema::kCreatePasswords);
                insert.emplace(store.handle(),
                               QStringLiteral("insert into %1 values(?)").arg(schema::kPasswords));
            },
            [&](const Row& row) {
                bindValue(*insert, 1, row[0]);
                insertRow(*insert);
            });
    }
    store.execute(QStringLiteral("COMMIT"));
    progress(counts.receipts, counts.receipts);
    store.close();
    return counts;
}

} // namespace qb::jet
