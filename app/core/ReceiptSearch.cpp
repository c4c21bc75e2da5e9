#include "app/core/ReceiptSearch.h"

#include "store/Connection.h"
#include "store/JetCompare.h"
#include "store/JetLike.h"
#include "store/ReceiptIndex.h"
#include "store/RecordSet.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "store/vorndata.h"
#include "util/Trim.h"

#include <exception>

namespace qb {

std::optional<Condition> searchCondition(const QString& category, const QString& text)
{
    Condition condition;
    if (!category.isEmpty())
        condition = vorndata::conditionValue(schema::kCategory, category, 0, true);
    if (!text.isEmpty()) {
        if (!condition.text().isEmpty())
            condition += QStringLiteral("  and ");
        const QString literal = jet::escapeLikeText(text);
        condition += QStringLiteral("(");
        condition += vorndata::conditionValue(schema::kTitle, literal, 1, true);
        condition += QStringLiteral(" or ");
        condition += vorndata::conditionValue(schema::kDescription, literal, 1, true);
        condition += QStringLiteral(")");
    }
    if (condition.text().isEmpty())
        return std::nullopt;
    return condition;
}

Condition receiptNumberCondition(const QString& number)
{
    return vorndata::conditionValue(schema::kId, number, 0, false);
}

TextLines scanForReceipts(Connection& connection, const QString& category, const QString& text)
{
    RecordSet query;
    query.setConnection(&connection);
    const auto condition = searchCondition(category, text);
    if (condition)
        vorndata::openFiltered(query, schema::kReceipts, *condition);
    else
        vorndata::openTable(query, schema::kReceipts);
    query.first();
    // Walking the hits from first to last without asking for their count
    // lets the record set read them in one pass.
    TextLines lines;
    for (; !query.eof(); query.next())
        appendResultLine(lines, query.fieldAsText(schema::kId), trimmed(query.fieldAsText(schema::kTitle)));
    return lines;
}

bool categoryFiled(Connection& connection, const QString& category)
{
    Statement st(
        connection.handle(),
        QStringLiteral("select 1 from %1 where %2 limit 1")
            .arg(schema::kCategories, jet::sameTextCondition(schema::kCategory, QStringLiteral("?1"))));
    st.bind(1, category);
    return st.step();
}

FoundReceipts findReceipts(ReceiptIndex& index, Connection& connection, const QString& category,
                           const QString& text)
{
    // Whatever keeps the copy from being had, the statement gives the same
    // lines; only its own failure goes to the caller.
    try {
        return index.search(category, text);
    } catch (const std::exception&) {
        return FoundReceipts(scanForReceipts(connection, category, text));
    }
}

} // namespace qb
