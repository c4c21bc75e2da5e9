#pragma once

#include <QString>

struct sqlite3;

namespace qb {

// The one connection to the receipt store. It is configured with a Jet-style
// connection text ("...;Data Source=<file>;Jet OLEDB:Database Password=<pw>")
// and realised as an SQLCipher database whose key is that password.
//
// Like the connection object the program was designed around, it connects on
// demand: a record set that opens or executes on a disconnected connection
// connects it first with the text it holds.
class Connection
{
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setLoginPrompt(bool prompt) { m_loginPrompt = prompt; }
    bool loginPrompt() const { return m_loginPrompt; }

    // Changing the text of a connected connection fails; writing the text it
    // already holds changes nothing.
    QString connectionString() const { return m_connectionString; }
    void setConnectionString(const QString& text);

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

    // Rows changed by the last insert/update/delete on this connection.
    int changes();

    // Creates a new, empty, encrypted store file as named by a Jet catalog
    // text ("Provider=...;Data Source=<file>;Jet OLEDB:Database Password=<pw>").
    // Fails when the file (or anything else by that name) exists already.
    static void createDatabase(const QString& catalogText);

private:
    QString m_connectionString;
    bool m_loginPrompt = true;
    sqlite3* m_db = nullptr;
};

} // namespace qb
