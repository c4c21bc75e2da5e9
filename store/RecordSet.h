#pragma once

#include "store/Condition.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qb {

class Connection;
class RecordSetCursor;

// A record set: the rows of one select statement on the store connection,
// with a current row that can be read, moved, edited, appended and deleted.
//
// The rows of a table (selectFrom) are kept as a list of row ids; rows are
// read on demand, a batch at a time, so a record set over a million receipts
// costs a few megabytes and opening it reads no row, and they can be changed.
// Any other select (addSql) is read into memory whole and cannot be changed.
//
// States: closed; open on rows in memory (any select but a table's); open on
// a table's rows by id, whose ids are found as RowKeys.h tells; and, while
// open on a table, editing a row or adding one (edit, then post or cancel; a
// move, append or locate posts a changed row and drops an unchanged one).
// open and close move between closed and open; a failed open stays closed.
//
// Failures throw StoreError. A record set with a name puts it in front of its
// own messages: "ADOQuery1: Cannot perform this operation on a closed dataset".
class RecordSet : public QObject
{
    Q_OBJECT
public:
    explicit RecordSet(const QString& name = QString(), QObject* parent = nullptr);
    ~RecordSet() override;

    QString name() const { return m_name; }

    void setConnection(Connection* connection);
    Connection* connection() const { return m_connection; }

    // The statement is the lines joined with a line break.
    void clearSql();
    void addSql(const QString& line);
    QString sql() const;
    // Makes the statement "select * from <table>", followed by " where
    // <condition>" when there is a condition, and keeps its parts for open.
    // A condition given as text goes to the engine as it stands; a condition
    // value shows its text in the statement and binds its values.
    void selectFrom(const QString& table, const std::optional<QString>& condition = std::nullopt);
    void selectFrom(const QString& table, const std::optional<Condition>& condition);

    // open runs the select (connecting first when needed); close of a closed
    // record set does nothing.
    void open();
    void close();
    bool active() const;

    // Runs the statement as one that returns no rows; the record set stays closed.
    void execSql();

    void first();
    void next();
    bool eof() const;
    int recordCount() const;
    // Who may know the number of rows of `table` without the engine counting
    // them. While the record set selects all of that table, its first count
    // asks `known` first, for that moment.
    void setKnownCount(const QString& table, std::function<std::optional<size_t>()> known)
    {
        m_knownCountTable = table;
        m_knownCount = std::move(known);
    }

    // Reads up to `ids` more row ids of a record set that reads them as its
    // rows are asked for; false once all are known. Done while the program
    // is idle, it spares a later jump to the end the reading of the rest.
    bool readAhead(int ids);

    // Row index of the current row (0-based); -1 when there is none.
    int currentIndex() const;
    // Makes row `index` current (the grid's click, the keyboard move).
    void moveTo(int index);

    int fieldCount() const;
    QStringList fieldNames() const;
    // The value of a field of the current row as text; names match ignoring
    // case; Null gives an empty text.
    QString fieldAsText(const QString& field) const;

    // Adds a row, stores it at once and makes it current. Values go to the
    // fields by position; std::nullopt leaves its field to the engine (the
    // counter numbers itself).
    void appendRecord(const std::vector<std::optional<QString>>& values);

    // Makes the first row whose field equals the value current; false when
    // there is none (the current row then stays).
    bool locate(const QString& field, const QString& value);

    // Opens the current row for changes; on an empty record set it begins a
    // new row, which post then adds.
    void edit();
    void setFieldValue(const QString& field, const QString& value);
    void post();
    void cancel();
    bool editing() const;

    // Removes the current row from the store.
    void deleteRecord();

    // What the grid shows in a cell: the field's text, or "(WIDEMEMO)" for a
    // long-text field that holds a value ("(WideMemo)" when it is Null).
    QString displayText(int row, int column) const;

signals:
    // The whole set of rows changed (open, close).
    void reset();
    void rowInserted(int row);
    void rowRemoved(int row);
    void rowChanged(int row);
    void currentChanged(int row);

private:
    [[noreturn]] void fail(const QString& message) const;
    void requireActive() const;
    RecordSetCursor& cursor() const;
    int requireField(const QString& field) const;
    void settlePendingEdit();
    void setCurrent(int index, bool eof, bool force = false);
    void checkWidths(const std::vector<QVariant>& values, const std::vector<bool>& assigned) const;
    int insertRow(const std::vector<QVariant>& values, const std::vector<bool>& assigned);

    QString m_name;
    Connection* m_connection = nullptr;
    QStringList m_sql;
    // The parts of a statement given by selectFrom.
    std::optional<QString> m_table;
    std::optional<Condition> m_condition;
    std::unique_ptr<RecordSetCursor> m_cursor;
    mutable bool m_lazyFirst = false;
    QString m_knownCountTable;
    std::function<std::optional<size_t>()> m_knownCount;
};

} // namespace qb
