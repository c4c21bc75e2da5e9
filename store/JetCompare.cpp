#include "store/JetCompare.h"

#include "store/JetLike.h"

#include <sqlcipher/sqlite3.h>

namespace qb::jet {

namespace {

const char* const kFunction = "qb_same_text";

std::u32string withoutTrailingBlanks(std::u32string text)
{
    while (!text.empty() && text.back() == U' ')
        text.pop_back();
    return text;
}

void deleteFolded(void* text)
{
    delete static_cast<std::u32string*>(text);
}

std::u32string foldedArgument(sqlite3_value* value)
{
    return withoutTrailingBlanks(LikePattern::foldUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                                                       sqlite3_value_bytes(value)));
}

// qb_same_text(column, text): the text is a constant of the statement, so
// its folded form is kept with the statement and a scan folds it once.
void sameTextFunction(sqlite3_context* context, int, sqlite3_value** args)
{
    if (sqlite3_value_type(args[0]) == SQLITE_NULL || sqlite3_value_type(args[1]) == SQLITE_NULL)
        return; // NULL, as "=" gives
    const auto* kept = static_cast<const std::u32string*>(sqlite3_get_auxdata(context, 1));
    std::u32string own;
    if (!kept) {
        own = foldedArgument(args[1]);
        kept = &own;
        sqlite3_set_auxdata(context, 1, new std::u32string(own), deleteFolded);
    }
    sqlite3_result_int(context, foldedArgument(args[0]) == *kept);
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

} // namespace

bool sameText(const QString& a, const QString& b)
{
    return withoutTrailingBlanks(LikePattern::fold(a)) == withoutTrailingBlanks(LikePattern::fold(b));
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
            out += QStringView(condition).mid(i, end - i);
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
            out += QLatin1String(kFunction);
            out += u'(';
            out += QStringView(condition).mid(i, nameEnd - i);
            out += u',';
            out += QStringView(condition).mid(literal, end - literal);
            out += u')';
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
    sqlite3_create_function_v2(db, kFunction, 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, sameTextFunction,
                               nullptr, nullptr, nullptr);
}

} // namespace qb::jet
