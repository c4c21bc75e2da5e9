#pragma once

#include "store/StoreError.h"

#include <QString>
#include <sqlcipher/sqlite3.h>
#include <string_view>

namespace qb {

// One prepared statement, finalized when it goes out of scope.
class Statement
{
public:
    Statement(sqlite3* db, const QString& sql) : m_db(db)
    {
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_stmt, nullptr) != SQLITE_OK) {
            const QString message = QString::fromUtf8(sqlite3_errmsg(db));
            const int code = sqlite3_errcode(db);
            sqlite3_finalize(m_stmt);
            throw StoreError(message, code);
        }
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const { return m_stmt; }

    // Binding fails, and throws, when the engine refuses the value (a text
    // longer than the engine's limit): a parameter left unbound would be
    // written as NULL.
    void bind(int index, const QString& text) { bind(index, text.toUtf8()); }
    // `utf8` as a text.
    void bind(int index, const QByteArray& utf8)
    {
        bindText(index, std::string_view(utf8.constData(), size_t(utf8.size())));
    }
    void bindText(int index, std::string_view utf8)
    {
        check(sqlite3_bind_text64(m_stmt, index, utf8.data(), sqlite3_uint64(utf8.size()), SQLITE_TRANSIENT,
                                  SQLITE_UTF8));
    }
    void bind(int index, qint64 value) { check(sqlite3_bind_int64(m_stmt, index, value)); }

    void reset() { sqlite3_reset(m_stmt); }

    // True while there is a row; throws the engine's text on failure.
    bool step()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        throw StoreError(QString::fromUtf8(sqlite3_errmsg(m_db)), rc);
    }

    const unsigned char* text(int column) const { return sqlite3_column_text(m_stmt, column); }
    int bytes(int column) const { return sqlite3_column_bytes(m_stmt, column); }
    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }

private:
    static void check(int rc)
    {
        if (rc != SQLITE_OK)
            throw StoreError(QString::fromUtf8(sqlite3_errstr(rc)), rc);
    }

    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace qb
