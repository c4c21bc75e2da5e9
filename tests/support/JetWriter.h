#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <vector>

namespace qb::test {

// A small writer of Jet 4 database files (the Access 2000 format), for test
// stores only: a header page with the database password, the MSysObjects
// catalog, one definition page per table, data pages, long-value pages for
// memos that do not fit a row, and usage maps. No indexes, no free-space
// bookkeeping beyond what readers need; every value exactly as given.
struct JetColumn
{
    enum Kind { Counter, Long, Short, FixedText, Text, Memo };
    QString name;
    Kind kind;
    int characters = 0; // FixedText, Text: the width in characters
    // Text, Memo: written in Jet's compressed form where the text allows it
    // (no U+0000, no two-byte character with a zero byte).
    bool compressed = false;
};

struct JetRow
{
    // One value per column: an invalid QVariant is Null, an integer goes to
    // a number column, a QString to a text or memo column. A fixed text is
    // padded with blanks to its width, as Jet does.
    std::vector<QVariant> values;
    // A row that was deleted: still on its page, marked as deleted.
    bool deleted = false;
    // A row that grew and was moved: its place holds where its data went, on
    // a page after the table's others, marked there so that a walk over the
    // pages passes it by.
    bool moved = false;
};

struct JetTable
{
    QString name;
    std::vector<JetColumn> columns;
    std::vector<JetRow> rows;
};

// The whole file. `password` is the database password (up to 20 characters).
QByteArray writeJet4(const std::vector<JetTable>& tables, const QString& password);

// The three tables of a receipt store in the old program's layout (ml, pj,
// pass), with the given rows.
JetTable jetCategories(std::vector<JetRow> rows);
// `compressed`: the texts in variable columns, written compressed.
JetTable jetReceipts(std::vector<JetRow> rows, bool compressed = false);
JetTable jetPasswords(std::vector<JetRow> rows);

} // namespace qb::test
