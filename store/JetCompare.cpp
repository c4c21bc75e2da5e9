#include "store/JetCompare.h"

#include "store/FoldedText.h"

#include <sqlcipher/sqlite3.h>

namespace qb::jet {

namespace {

const char* const kFunction = "qb_same_text";

void deleteKey(void* key)
{
    delete static_cast<std::string*>(key);
}

std::string keyOf(sqlite3_value* value)
{
    return categoryKey(reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value));
}

// qb_same_text(column, text): the text is a constant of the statement, so
// its key is kept with the statement and a scan works it out once.
void sameTextFunction(sqlite3_context* context, int, sqlite3_value** args)
{
    if (sqlite3_value_type(args[0]) == SQLITE_NULL || sqlite3_value_type(args[1]) == SQLITE_NULL)
        return; // NULL, as "=" gives
    const auto* kept = static_cast<const std::string*>(sqlite3_get_auxdata(context, 1));
    std::string own;
    if (!kept) {
        own = keyOf(args[1]);
        kept = &own;
        sqlite3_set_auxdata(context, 1, new std::string(own), deleteKey);
    }
    sqlite3_result_int(context, keyOf(args[0]) == *kept);
}

} // namespace

bool sameText(const QString& a, const QString& b)
{
    return categoryKey(a) == categoryKey(b);
}

QString sameTextCondition(const QString& name, const QString& operand)
{
    return QLatin1String(kFunction) + u'(' + name + u',' + operand + u')';
}

void installSameText(sqlite3* db)
{
    sqlite3_create_function_v2(db, kFunction, 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               sameTextFunction, nullptr, nullptr, nullptr);
}

} // namespace qb::jet
