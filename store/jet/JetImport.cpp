#include "store/jet/JetImport.h"

#include "store/Connection.h"
#include "store/NewStore.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "util/platform/Platform.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <mdbtools.h>

namespace qb::jet {

namespace {

// Jet 4 data pages: the row count, then one offset per row whose two high
// bits are flags.
constexpr int kRowCountOffset = 12;
constexpr unsigned kRowOffsetMask = 0x1fff;
constexpr unsigned kDeletedRow = 0x8000;
constexpr unsigned kMovedRow = 0x4000; // the row's data lies in another row
constexpr int kMemoHeaderBytes = 12;
constexpr unsigned long kCatalogPage = 2;

struct HandleClose
{
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFree
{
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

using Value = std::optional<std::string>;
using Row = std::vector<Value>;
using Page = std::vector<std::uint8_t>;

unsigned get16(const std::uint8_t* at)
{
    return unsigned(at[0]) | unsigned(at[1]) << 8;
}

std::uint32_t get32(const std::uint8_t* at)
{
    return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 |
           std::uint32_t(at[3]) << 24;
}

// libmdb reports what it could not read only as warnings on standard error
// and goes on with what it has. Whatever it writes there while it reads the
// table definitions is taken as a refusal of the file.
class ReaderWarnings
{
public:
    // Throws with the first warning when libmdb gave any.
    void check()
    {
        const std::string line = m_capture.firstLine();
        if (!line.empty())
            throw ImportError("the Jet reader warns: " + line);
    }

private:
    platform::StandardErrorCapture m_capture;
};

// The pages of the file as libmdb gives them (it knows the encryption of an
// encoded file). Every page number the file names is checked against the
// file's length, and a chain of pages is bounded by it.
class Pages
{
public:
    Pages(MdbHandle* mdb, long long fileSize)
        : m_mdb(mdb), m_size(int(mdb->fmt->pg_size)), m_count(fileSize / std::max(1, m_size))
    {
    }

    int size() const { return m_size; }
    long long count() const { return m_count; }

    Page read(std::uint32_t number) const
    {
        if (number == 0 || number >= m_count || mdb_read_pg(m_mdb, number) != m_size)
            throw ImportError("the file names a page it does not have");
        return Page(m_mdb->pg_buf, m_mdb->pg_buf + m_size);
    }

private:
    MdbHandle* m_mdb;
    int m_size;
    long long m_count;
};

struct Extent
{
    int start = 0;
    int end = 0;
    unsigned flags = 0;
};

// Row `row` of a data page: it reaches from its offset to the offset of the
// row before it, or to the page's end.
Extent rowExtent(const Page& page, unsigned row)
{
    const unsigned rows = get16(&page[kRowCountOffset]);
    const int table = kRowCountOffset + 2 + 2 * int(rows);
    if (page[0] != 0x01 || row >= rows || table > int(page.size()))
        throw ImportError("a row that its page does not hold");
    const unsigned offset = get16(&page[size_t(kRowCountOffset + 2 + 2 * int(row))]);
    Extent extent;
    extent.flags = offset & ~kRowOffsetMask;
    extent.start = int(offset & kRowOffsetMask);
    extent.end = row == 0 ? int(page.size())
                          : int(get16(&page[size_t(kRowCountOffset + 2 * int(row))]) & kRowOffsetMask);
    if (extent.start < table || extent.end > int(page.size()) || extent.start >= extent.end)
        throw ImportError("a row lies outside its page");
    return extent;
}

// A long value (memo): in the row itself, in one row of another page, or
// in a chain of rows each naming the next. The length its header states
// must be what the file holds.
std::vector<std::uint8_t> longValue(const Pages& pages, const std::uint8_t* field, int size)
{
    if (size == 0)
        return {}; // an empty value that was never given a header
    if (size < kMemoHeaderBytes)
        throw ImportError("a memo without its header");
    const std::uint32_t header = get32(field);
    const size_t length = header & 0x3fffffffu;
    std::uint32_t pointer = get32(field + 4);
    switch (header >> 30) {
    case 2:
        if (length != size_t(size - kMemoHeaderBytes))
            throw ImportError("a memo of another length than its header says");
        return {field + kMemoHeaderBytes, field + kMemoHeaderBytes + length};
    case 1: {
        const Page page = pages.read(pointer >> 8);
        const Extent extent = rowExtent(page, pointer & 0xff);
        if (length != size_t(extent.end - extent.start))
            throw ImportError("a memo of another length than its header says");
        return {page.begin() + extent.start, page.begin() + extent.start + std::ptrdiff_t(length)};
    }
    case 0: {
        std::vector<std::uint8_t> out;
        std::set<std::uint32_t> seen;
        while (pointer != 0) {
            // Every piece is a row of its own; a chain that comes back to
            // one is damaged, and no chain is longer than the file.
            if (!seen.insert(pointer).second || seen.size() > size_t(pages.count()))
                throw ImportError("a memo's pages go round in a circle");
            const Page page = pages.read(pointer >> 8);
            const Extent extent = rowExtent(page, pointer & 0xff);
            if (extent.end - extent.start < 4)
                throw ImportError("a piece of a memo without its link");
            pointer = get32(&page[size_t(extent.start)]);
            if (out.size() + size_t(extent.end - extent.start - 4) > length)
                throw ImportError("a memo longer than its header says");
            out.insert(out.end(), page.begin() + extent.start + 4, page.begin() + extent.end);
        }
        if (out.size() != length)
            throw ImportError("a memo shorter than its header says");
        return out;
    }
    default:
        throw ImportError("a memo of an unknown kind");
    }
}

// Jet 4 keeps text as UTF-16. A text that starts with 0xff 0xfe is
// compressed: runs of one byte a character (the high byte zero) and of two,
// each 0x00 at a character's place switching to the other kind, starting
// with the short one. An unpaired surrogate becomes U+FFFD, as does a byte
// left over at the end.
std::string decodeText(const std::uint8_t* bytes, size_t size)
{
    std::u16string units;
    units.reserve(size / 2 + 1);
    size_t at = 0;
    if (size >= 2 && bytes[0] == 0xff && bytes[1] == 0xfe) {
        bool compressed = true;
        for (at = 2; at < size;) {
            if (bytes[at] == 0) {
                compressed = !compressed;
                ++at;
            } else if (compressed) {
                units.push_back(char16_t(bytes[at++]));
            } else if (at + 1 < size) {
                units.push_back(char16_t(get16(bytes + at)));
                at += 2;
            } else {
                break;
            }
        }
    } else {
        units.resize(size / 2);
        for (size_t i = 0; i < units.size(); ++i)
            units[i] = char16_t(get16(bytes + 2 * i));
        at = 2 * units.size();
    }
    if (at < size)
        units.push_back(u'\ufffd');
    // Qt would make an unpaired surrogate "?", which a text may hold itself.
    for (size_t i = 0; i < units.size(); ++i) {
        if (QChar::isHighSurrogate(units[i]) && i + 1 < units.size() && QChar::isLowSurrogate(units[i + 1]))
            ++i;
        else if (QChar::isSurrogate(units[i]))
            units[i] = u'\ufffd';
    }
    return QStringView(units.data(), qsizetype(units.size())).toUtf8().toStdString();
}

struct Field
{
    int start = 0;
    int size = 0;
};

// A table as this reader walks it: its definition from libmdb, its columns
// in their order.
struct Table
{
    std::unique_ptr<MdbTableDef, TableFree> definition;
    std::vector<const MdbColumn*> columns;
};

Table readDefinition(const Pages& pages, MdbCatalogEntry* entry)
{
    // A definition may go on over further pages, each naming the next;
    // libmdb follows the chain as far as the definition's length says, and
    // one that comes back to a page reads it again as if it were new.
    std::set<std::uint32_t> seen;
    for (auto number = std::uint32_t(entry->table_pg); number != 0;) {
        const Page page = pages.read(number);
        if (page[0] != 0x02 || !seen.insert(number).second)
            throw ImportError("a table definition whose pages do not follow");
        number = get32(&page[4]);
    }
    ReaderWarnings warnings;
    Table table{std::unique_ptr<MdbTableDef, TableFree>(mdb_read_table(entry)), {}};
    if (!table.definition || !mdb_read_columns(table.definition.get()))
        throw ImportError("a table definition cannot be read");
    warnings.check();
    for (unsigned i = 0; i < table.definition->num_cols; ++i)
        table.columns.push_back(
            static_cast<const MdbColumn*>(g_ptr_array_index(table.definition->columns, i)));
    return table;
}

// The fields of one row; an absent one (Null, or a column added after the
// row was written) has no value. Every place is checked to lie in the row.
std::vector<std::optional<Field>> crackRow(const Table& table, const Page& page, const Extent& row)
{
    const int size = row.end - row.start;
    const std::uint8_t* base = &page[size_t(row.start)];
    if (size < 3)
        throw ImportError("a row too short to be one");
    const unsigned rowColumns = get16(base);
    const int maskSize = int(rowColumns + 7) / 8;
    const int maskAt = size - maskSize;
    int dataEnd = maskAt;
    unsigned varCount = 0;
    std::vector<int> varOffsets;
    if (maskAt < 2)
        throw ImportError("a row too short for its columns");
    if (table.definition->num_var_cols > 0) {
        if (maskAt < 4)
            throw ImportError("a row too short for its columns");
        varCount = get16(base + maskAt - 2);
        dataEnd = maskAt - 4 - 2 * int(varCount);
        if (varCount > rowColumns || dataEnd < 2)
            throw ImportError("a row too short for its columns");
        for (unsigned i = 0; i <= varCount; ++i)
            varOffsets.push_back(int(get16(base + maskAt - 4 - 2 * int(i))));
    }
    std::vector<std::optional<Field>> fields(table.columns.size());
    unsigned fixedSeen = 0;
    for (size_t i = 0; i < table.columns.size(); ++i) {
        const MdbColumn& column = *table.columns[i];
        const int bit = column.col_num;
        const bool present = bit >= 0 && bit / 8 < maskSize && (base[maskAt + bit / 8] >> (bit % 8) & 1);
        Field field;
        if (column.is_fixed) {
            if (fixedSeen++ >= rowColumns - varCount)
                continue;
            field.start = 2 + column.fixed_offset;
            field.size = column.col_size;
            if (field.start < 2 || field.size < 0 || field.start + field.size > dataEnd)
                throw ImportError("a row's values lie outside it");
        } else {
            if (column.var_col_num >= varCount)
                continue;
            field.start = varOffsets[column.var_col_num];
            field.size = varOffsets[column.var_col_num + 1] - field.start;
            if (field.start < 2 || field.size < 0 || field.start + field.size > dataEnd)
                throw ImportError("a row's values lie outside it");
        }
        if (present)
            fields[i] = Field{row.start + field.start, field.size};
    }
    return fields;
}

// Calls `visit` for every row of the table that is not deleted, with its
// page and fields; a row moved elsewhere is visited at its new place. The
// rows found must be as many as the table's definition counts.
void walkRows(const Pages& pages, const Table& table,
              const std::function<void(const Page&, const std::vector<std::optional<Field>>&)>& visit)
{
    MdbTableDef* definition = table.definition.get();
    MdbHandle* mdb = definition->entry->mdb;
    const std::uint32_t owner = std::uint32_t(definition->entry->table_pg);
    long long found = 0;
    for (gint32 number = mdb_map_find_next(mdb, definition->usage_map, unsigned(definition->map_sz), 0);
         number > 0; number = mdb_map_find_next(mdb, definition->usage_map, unsigned(definition->map_sz),
                                                std::uint32_t(number))) {
        const Page page = pages.read(std::uint32_t(number));
        // The map may name pages given back to the file; only the table's
        // own data pages hold its rows.
        if (page[0] != 0x01 || get32(&page[4]) != owner)
            continue;
        const unsigned rows = get16(&page[kRowCountOffset]);
        if (kRowCountOffset + 2 + 2 * size_t(rows) > page.size())
            throw ImportError("a page with more rows than room");
        for (unsigned r = 0; r < rows; ++r) {
            // A deleted row's place need not hold anything any more.
            if (get16(&page[kRowCountOffset + 2 + 2 * size_t(r)]) & kDeletedRow)
                continue;
            const Extent extent = rowExtent(page, r);
            if (extent.flags & kMovedRow) {
                // The row's data was moved: here is only where it went (the
                // row number, then the page), and the data itself is marked
                // so that a walk over the pages passes it by.
                if (extent.end - extent.start < 4)
                    throw ImportError("a moved row without its new place");
                const std::uint32_t pointer = get32(&page[size_t(extent.start)]);
                const Page target = pages.read(pointer >> 8);
                if (get32(&target[4]) != owner)
                    throw ImportError("a moved row in another table");
                Extent moved = rowExtent(target, pointer & 0xff);
                if (moved.flags & kMovedRow)
                    throw ImportError("a moved row moved again");
                visit(target, crackRow(table, target, moved));
            } else {
                visit(page, crackRow(table, page, extent));
            }
            ++found;
        }
    }
    if (found != definition->num_rows)
        throw ImportError("the table " + std::string(definition->name) + " holds " + std::to_string(found) +
                          " rows of the " + std::to_string(definition->num_rows) + " its definition counts");
}

// A value as text: numbers in decimal, texts and memos decoded.
std::string valueText(const Pages& pages, const MdbColumn& column, const Page& page, const Field& field)
{
    const std::uint8_t* at = &page[size_t(field.start)];
    switch (column.col_type) {
    case MDB_BYTE:
        if (field.size != 1)
            break;
        return std::to_string(at[0]);
    case MDB_INT:
        if (field.size != 2)
            break;
        return std::to_string(std::int16_t(get16(at)));
    case MDB_LONGINT:
        if (field.size != 4)
            break;
        return std::to_string(std::int32_t(get32(at)));
    case MDB_TEXT:
        return decodeText(at, size_t(field.size));
    case MDB_MEMO: {
        const std::vector<std::uint8_t> bytes = longValue(pages, at, field.size);
        return decodeText(bytes.data(), bytes.size());
    }
    default:
        throw ImportError("a column of a kind the converter does not read");
    }
    throw ImportError("a number of the wrong size");
}

// Every row of the table, its values by column position.
void readRows(const Pages& pages, const Table& table, const std::function<void(const Row&)>& visit)
{
    Row row(table.columns.size());
    walkRows(pages, table, [&](const Page& page, const std::vector<std::optional<Field>>& fields) {
        for (size_t i = 0; i < fields.size(); ++i)
            row[i] = fields[i] ? Value(valueText(pages, *table.columns[i], page, *fields[i])) : std::nullopt;
        visit(row);
    });
}

// The tables the file lists, by name, from its catalog. The catalog is read
// here rather than by libmdb, which also follows every object's property
// chain and grows without bound on one that loops.
class Catalog
{
public:
    Catalog(MdbHandle* mdb, const Pages& pages)
    {
        std::memset(&m_catalog, 0, sizeof m_catalog);
        m_catalog.mdb = mdb;
        m_catalog.object_type = MDB_TABLE;
        m_catalog.table_pg = kCatalogPage;
        std::strcpy(m_catalog.object_name, "MSysObjects");
        const Table table = readDefinition(pages, &m_catalog);
        const int id = column(table, "Id", MDB_LONGINT);
        const int name = column(table, "Name", MDB_TEXT);
        const int type = column(table, "Type", MDB_INT);
        walkRows(pages, table, [&](const Page& page, const std::vector<std::optional<Field>>& fields) {
            if (!fields[size_t(id)] || !fields[size_t(name)] || !fields[size_t(type)])
                return;
            if (fields[size_t(id)]->size != 4 || fields[size_t(type)]->size != 2)
                throw ImportError("the catalog's numbers are of the wrong size");
            // Type 1 is a table; the low three bytes of its number are the
            // page of its definition.
            if ((get16(&page[size_t(fields[size_t(type)]->start)]) & 0x7f) != 1)
                return;
            const std::string text =
                valueText(pages, *table.columns[size_t(name)], page, *fields[size_t(name)]);
            if (text.size() > MDB_MAX_OBJ_NAME || text.find('\0') != std::string::npos)
                return; // not one of the names looked for
            const std::uint32_t number = get32(&page[size_t(fields[size_t(id)]->start)]) & 0x00ffffffu;
            if (number == 0 || number >= pages.count())
                throw ImportError("the catalog names a table the file does not hold");
            auto entry = std::make_unique<MdbCatalogEntry>();
            std::memset(entry.get(), 0, sizeof *entry);
            entry->mdb = mdb;
            entry->object_type = MDB_TABLE;
            entry->table_pg = number;
            std::memcpy(entry->object_name, text.data(), text.size());
            m_tables.push_back(std::move(entry));
        });
    }

    // The table of that name, ignoring case as Jet does, or null.
    MdbCatalogEntry* find(const QString& name) const
    {
        const QByteArray utf8 = name.toUtf8();
        for (const auto& entry : m_tables)
            if (g_ascii_strcasecmp(entry->object_name, utf8.constData()) == 0)
                return entry.get();
        return nullptr;
    }

private:
    static int column(const Table& table, const char* name, int type)
    {
        for (size_t i = 0; i < table.columns.size(); ++i)
            if (g_ascii_strcasecmp(table.columns[i]->name, name) == 0 && table.columns[i]->col_type == type)
                return int(i);
        throw ImportError(std::string("the catalog has no column ") + name);
    }

    MdbCatalogEntry m_catalog;
    std::vector<std::unique_ptr<MdbCatalogEntry>> m_tables;
};

// The receipts table as the old program created it: five columns of these
// names and kinds, in this order.
bool isReceiptTable(const Table& table)
{
    static const std::pair<QByteArray, int> expected[schema::kReceiptColumns] = {
        {schema::kId.toUtf8(), MDB_LONGINT},
        {schema::kCategory.toUtf8(), MDB_TEXT},
        {schema::kTitle.toUtf8(), MDB_TEXT},
        {schema::kDescription.toUtf8(), MDB_MEMO},
        {schema::kPicture.toUtf8(), MDB_TEXT}};
    if (table.columns.size() != std::size(expected))
        return false;
    for (size_t i = 0; i < table.columns.size(); ++i)
        if (g_ascii_strcasecmp(table.columns[i]->name, expected[i].first.constData()) != 0 ||
            table.columns[i]->col_type != expected[i].second)
            return false;
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
void continueNumbering(const Pages& pages, const MdbCatalogEntry& entry, Connection& store,
                       const QString& table)
{
    constexpr int kNextNumberOffset = 20;
    const Page definition = pages.read(std::uint32_t(entry.table_pg));
    if (definition[0] != 0x02)
        return;
    const long long next = get32(&definition[kNextNumberOffset]);
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

// An insert of a whole row into a table of that many columns.
QString insertStatement(const QString& table, int columns)
{
    return QStringLiteral("insert into %1 values(%2)")
        .arg(table, QStringList(columns, QStringLiteral("?")).join(u','));
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
    std::unique_ptr<MdbHandle, HandleClose> mdb;
    {
        ReaderWarnings warnings;
        mdb.reset(mdb_open(jetPath.constData(), MDB_NOFLAGS));
        if (!mdb)
            throw ImportError("not a readable Jet file");
        warnings.check();
    }
    // The rows and texts below are read as Jet 4 lays them out (the old
    // program's engine wrote that format), which Jet 3 does not.
    if (mdb->f->jet_version == MDB_VER_JET3 || mdb->fmt->pg_size != 4096)
        throw ImportError("a Jet file of a format before Jet 4");
    const Pages pages(mdb.get(), QFileInfo(QFile::decodeName(jetPath)).size());
    const Catalog catalog(mdb.get(), pages);

    // A file that is not a receipt store leaves nothing behind. One that
    // does not add up is found while its rows are copied; the caller then
    // throws the new store away.
    std::optional<Table> receipts;
    if (MdbCatalogEntry* entry = catalog.find(schema::kReceipts))
        receipts.emplace(readDefinition(pages, entry));
    if (!receipts || !isReceiptTable(*receipts))
        throw NotReceiptStore("the Jet file holds no receipt table");
    std::optional<Table> categories;
    if (MdbCatalogEntry* entry = catalog.find(schema::kCategories)) {
        categories.emplace(readDefinition(pages, entry));
        if (categories->columns.size() < size_t(schema::kCategoryColumns))
            throw ImportError("the category table has too few columns");
    }
    std::optional<Table> passwords;
    if (MdbCatalogEntry* entry = catalog.find(schema::kPasswords)) {
        passwords.emplace(readDefinition(pages, entry));
        if (passwords->columns.empty())
            throw ImportError("the password table has no column");
    }
    Connection::createDatabase(storePath, schema::kStorePassword);
    Connection store;
    store.open(storePath, schema::kStorePassword);
    makeStoreTables(store);
    store.execute(QStringLiteral("BEGIN"));

    ImportCounts counts;
    if (categories) {
        Statement insert(store.handle(), insertStatement(schema::kCategories, schema::kCategoryColumns));
        readRows(pages, *categories, [&](const Row& row) {
            bindNumber(insert, 1 + schema::kCategoryIdColumn, row[size_t(schema::kCategoryIdColumn)]);
            bindValue(insert, 1 + schema::kCategoryNameColumn, row[size_t(schema::kCategoryNameColumn)]);
            insertRow(insert);
            ++counts.categories;
        });
    }
    {
        Statement insert(store.handle(), insertStatement(schema::kReceipts, schema::kReceiptColumns));
        const long long total = receipts->definition->num_rows;
        progress(0, total);
        readRows(pages, *receipts, [&](const Row& row) {
            bindNumber(insert, 1 + schema::kReceiptIdColumn, row[size_t(schema::kReceiptIdColumn)]);
            for (int i = schema::kReceiptCategoryColumn; i < schema::kReceiptColumns; ++i)
                bindValue(insert, 1 + i, row[size_t(i)]);
            insertRow(insert);
            if (++counts.receipts % 1000 == 0)
                progress(counts.receipts, total);
        });
        continueNumbering(pages, *receipts->definition->entry, store, schema::kReceipts);
    }
    if (passwords) {
        // The password table exists once someone has logged in; its rows
        // keep their order, since the login reads the first.
        store.execute(schema::kCreatePasswords);
        Statement insert(store.handle(), QStringLiteral("insert into %1 values(?)").arg(schema::kPasswords));
        readRows(pages, *passwords, [&](const Row& row) {
            bindValue(insert, 1, row[0]);
            insertRow(insert);
        });
    }
    store.execute(QStringLiteral("COMMIT"));
    progress(counts.receipts, counts.receipts);
    store.close();
    return counts;
}

} // namespace qb::jet
