#include "store/Connection.h"

#include "store/JetCompare.h"
#include "store/JetLike.h"
#include "store/JetText.h"
#include "store/Statement.h"
#include "store/StoreError.h"

#include <QFile>
#include <QFileInfo>
#include <sqlcipher/sqlite3.h>

namespace qb {

namespace {

// How long a statement waits for a lock that another program holds on the
// store before it fails with "database is locked".
constexpr int kBusyTimeoutMs = 2000;

QString quoted(const QString& text)
{
    QString out = text;
    out.replace(u'\'', QStringLiteral("''"));
    return u'\'' + out + u'\'';
}

QString engineMessage(sqlite3* db)
{
    return QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
}

void run(sqlite3* db, const QString& statement)
{
    char* error = nullptr;
    const int rc = sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : sqlite3_errmsg(db));
        sqlite3_free(error);
        throw StoreError(message, rc);
    }
}

// Opens an engine handle on `path` and applies the key. A wrong key is only
// noticed by the first statement that reads the file, so the schema is read
// once here to fail early with the engine's "file is not a database". That
// read waits for a lock as every later statement does: another start of the
// program may be writing the store just now.
EngineHandle openKeyed(const QString& path, const QString& password, int flags)
{
    sqlite3* opened = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &opened, flags, nullptr);
    // The engine hands out a handle even when opening fails; it holds the message.
    EngineHandle db(opened);
    if (rc != SQLITE_OK)
        throw StoreError(engineMessage(db.get()), rc);
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    run(db.get(), QStringLiteral("PRAGMA key = ") + quoted(password));
    run(db.get(), QStringLiteral("SELECT count(*) FROM sqlite_master"));
    return db;
}

} // namespace

void EngineClose::operator()(sqlite3* db) const
{
    sqlite3_close_v2(db);
}

Connection::~Connection() = default;

void Connection::setConnectionString(const QString& text, const QString& filePath, const QString& password)
{
    if (text == m_connectionString && filePath == m_filePath && password == m_password)
        return;
    if (connected())
        throw StoreError(QStringLiteral("Operation is not allowed when the object is open"));
    m_connectionString = text;
    m_filePath = filePath;
    m_password = password;
}

void Connection::setConnectionString(const QString& text)
{
    const jet::ConnectionText parts = jet::parseConnectionText(text);
    setConnectionString(text, parts.dataSource, parts.password);
}

void Connection::open(const QString& filePath, const QString& password)
{
    setConnectionString(jet::connectionText(filePath, password), filePath, password);
    setConnected(true);
}

void Connection::setConnected(bool wanted)
{
    if (!wanted) {
        close();
        return;
    }
    if (connected())
        return;
    if (m_filePath.isEmpty())
        throw StoreError(QStringLiteral("The connection names no data source"));
    // The engine would create a missing file; a store that is not there is a failure.
    if (!QFileInfo(m_filePath).isFile())
        throw StoreError(QStringLiteral("Could not find file '%1'").arg(m_filePath));
    // One thread uses a connection: the engine's lock per call is not needed.
    EngineHandle db = openKeyed(m_filePath, m_password, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    // A page cache of a few megabytes: repeated searches look in the
    // receipts' copy in memory, not in the file, and a larger cache would
    // only hold pages a scan of a large store passes once.
    sqlite3_exec(db.get(), "PRAGMA cache_size = -4096", nullptr, nullptr, nullptr);
    jet::installLike(db.get());
    jet::installSameText(db.get());
    sqlite3_update_hook(db.get(), &Connection::rowChanged, this);
    m_db = std::move(db);
    ++m_session;
    m_reportedChanges = 0;
}

void Connection::rowChanged(void* self, int, const char*, const char* table, long long rowId)
{
    auto* connection = static_cast<Connection*>(self);
    ++connection->m_reportedChanges;
    for (const auto& [token, watcher] : connection->m_watchers)
        watcher(table, rowId);
}

int Connection::watchRows(RowWatcher watcher)
{
    const int token = m_nextWatcher++;
    m_watchers.emplace(token, std::move(watcher));
    return token;
}

void Connection::unwatchRows(int token)
{
    m_watchers.erase(token);
}

long long Connection::totalChanges()
{
    return sqlite3_total_changes(handle());
}

long long Connection::dataVersion()
{
    Statement version(handle(), QStringLiteral("PRAGMA data_version"));
    return version.step() ? version.integer(0) : -1;
}

void Connection::close()
{
    m_db.reset();
}

sqlite3* Connection::handle()
{
    setConnected(true);
    return m_db.get();
}

void Connection::execute(const QString& statement)
{
    run(handle(), jet::translateStatement(statement));
}

bool Connection::hasTable(const QString& table)
{
    Statement named(handle(), QStringLiteral("SELECT count(*) FROM sqlite_master "
                                             "WHERE type IN ('table', 'view') AND name = ?1 COLLATE NOCASE"));
    named.bind(1, table);
    return named.step() && named.integer(0) > 0;
}

int Connection::changes()
{
    return sqlite3_changes(handle());
}

void Connection::createDatabase(const QString& filePath, const QString& password)
{
    if (filePath.isEmpty())
        throw StoreError(QStringLiteral("The catalog text names no data source"));
    if (QFileInfo::exists(filePath))
        throw StoreError(QStringLiteral("Database already exists"));
    try {
        const EngineHandle db = openKeyed(filePath, password, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        // The engine writes nothing until something changes: marking the file
        // as ours writes its first, encrypted page.
        run(db.get(), QStringLiteral("PRAGMA application_id = 1363299416"));
    } catch (...) {
        QFile::remove(filePath);
        throw;
    }
}

} // namespace qb
