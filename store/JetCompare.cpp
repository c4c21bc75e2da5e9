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

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'.' || c.isHighSurrogate() || c.isLowSurrogate();
}

// The end of the quoted text that starts at `from` (a quote character), past
// its closing quote; doubled quotes stay inside. The text's length when the
// quote is never closed.
qsizetype quotedEnd(const QString& text, qsizetype from)
{
    const QChar quote = text[from];
    qsizetype i = from + 1;
    while (i < text.size()) {
        if (text[i] == quote) {
            if (i + 1 < text.size() && text[i + 1] == quote) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return text.size();
}

qsizetype skipBlanks(const QString& text, qsizetype i)
{
    while (i < text.size() && text[i].isSpace())
        ++i;
    return i;
}

// The engine reads a statement only up to its first zero character, so a
// quoted text that holds one goes in as pieces joined with char(0).
void appendQuoted(QString& out, QStringView quoted)
{
    const QChar quote = quoted.front();
    // A text never closed fails the statement whatever it holds; a name in
    // double quotes is no text.
    if (quote != u'\'' || !quoted.contains(QChar(0)) || quoted.size() < 2 || quoted.back() != quote) {
        out += quoted;
        return;
    }
    const QStringView inner = quoted.mid(1, quoted.size() - 2);
    out += u'(';
    qsizetype from = 0;
    for (;;) {
        const qsizetype zero = inner.indexOf(QChar(0), from);
        out += quote;
        out += inner.mid(from, zero < 0 ? -1 : zero - from);
        out += quote;
        if (zero < 0)
            break;
        out += QStringLiteral("||char(0)||");
        from = zero + 1;
    }
    out += u')';
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

QString translateCondition(const QString& condition)
{
    QString out;
    qsizetype i = 0;
    const qsizetype n = condition.size();
    while (i < n) {
        const QChar c = condition[i];
        if (c == u'\'' || c == u'"') {
            const qsizetype end = quotedEnd(condition, i);
            appendQuoted(out, QStringView(condition).mid(i, end - i));
            i = end;
            continue;
        }
        if (!isNameChar(c) || (i > 0 && isNameChar(condition[i - 1]))) {
            out += c;
            ++i;
            continue;
        }
        // A name: is it compared with "=" to a quoted text?
        qsizetype nameEnd = i;
        while (nameEnd < n && isNameChar(condition[nameEnd]))
            ++nameEnd;
        const qsizetype eq = skipBlanks(condition, nameEnd);
        const bool isEquals = eq < n && condition[eq] == u'=' && (eq + 1 >= n || condition[eq + 1] != u'=');
        const qsizetype literal = isEquals ? skipBlanks(condition, eq + 1) : n;
        if (literal < n && condition[literal] == u'\'') {
            const qsizetype end = quotedEnd(condition, literal);
            QString quoted;
            appendQuoted(quoted, QStringView(condition).mid(literal, end - literal));
            out += sameTextCondition(condition.mid(i, nameEnd - i), quoted);
            i = end;
            continue;
        }
        out += QStringView(condition).mid(i, nameEnd - i);
        i = nameEnd;
    }
    return out;
}

void installSameText(sqlite3* db)
{
    sqlite3_create_function_v2(db, kFunction, 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               sameTextFunction, nullptr, nullptr, nullptr);
}

} // namespace qb::jet
