#pragma once

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <string_view>

struct sqlite3;

namespace qb {

// An engine handle, closed when it goes out of scope.
struct EngineClose
{
    void operator()(sqlite3* db) const;
};
using EngineHandle = std::unique_ptr<sqlite3, EngineClose>;

// The one connection to the receipt store: an SQLCipher database file whose
// key is the store password. It reports a Jet-style connection text
// ("...;Data Source=<file>;Jet OLEDB:Database Password=<pw>"), but the file
// and the password reach the engine as values, never by reading that text
// back: a folder name may hold ";" or "=".
//
// It connects on demand: a record set that opens or executes on a
// disconnected connection connects it first with the file and password it
// holds.
class Connection
{
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setLoginPrompt(bool prompt) { m_loginPrompt = prompt; }
    bool loginPrompt() const { return m_loginPrompt; }

    // Changing the target of a connected connection fails; giving the one it
    // already holds changes nothing.
    QString connectionString() const { return m_connectionString; }
    // The store file and its password as values; `text` is what
    // connectionString() reports for them.
    void setConnectionString(const QString& text, const QString& filePath, const QString& password);
    // For a caller that holds only a text: its "Data Source" and
    // "Jet OLEDB:Database Password" become the file and the password.
    void setConnectionString(const QString& text);
    // Connects to the store file at `filePath` with `password`.
    void open(const QString& filePath, const QString& password);

    // Connects with the held text (no effect when connected). Throws
    // StoreError with the engine's text when the file is missing, not a
    // store, or the password is wrong.
    void setConnected(bool connected);
    bool connected() const { return m_db != nullptr; }
    void close();

    // The open engine handle; connects first when needed.
    sqlite3* handle();

    // Runs a statement that returns no rows. Jet DDL words the program uses
    // (COUNTER, memo) are translated first.
    void execute(const QString& statement);

    // Whether the store holds a table (or view) of that name. Throws
    // StoreError when the store cannot be read.
    bool hasTable(const QString& table);

    // Rows changed by the last insert/update/delete on this connection.
    int changes();

    // For a copy of rows kept beside the store. What this connection
    // changes, row by row, goes to the watchers as the engine reports it
    // (table, row id). Changes that the engine does not report one by one
    // show as a difference between totalChanges() and reportedChanges();
    // dataVersion() changes when another connection wrote to the file, and
    // session() each time the connection opens a store.
    using RowWatcher = std::function<void(std::string_view table, long long rowId)>;
    int watchRows(RowWatcher watcher);
    void unwatchRows(int token);
    unsigned long long session() const { return m_session; }
    long long totalChanges();
    long long reportedChanges() const { return m_reportedChanges; }
    long long dataVersion();

    // Creates a new, empty, encrypted store file at `filePath` keyed with
    // `password`. Fails when the file (or anything else by that name) exists
    // already.
    static void createDatabase(const QString& filePath, const QString& password);

private:
    QString m_connectionString;
    QString m_filePath;
    QString m_password;
    bool m_loginPrompt = true;
    EngineHandle m_db;
    unsigned long long m_session = 0;
    long long m_reportedChanges = 0;
    std::map<int, RowWatcher> m_watchers;
    int m_nextWatcher = 1;

    static void rowChanged(void* self, int operation, const char* database, const char* table,
                           long long rowId);
};

} // namespace qb
