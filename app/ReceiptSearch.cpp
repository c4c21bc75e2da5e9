#include "app/ReceiptSearch.h"

#include "store/JetLike.h"
#include "store/Schema.h"
#include "store/vorndata.h"

namespace qb {

std::optional<QString> searchCondition(const QString& category, const QString& text)
{
    QString condition;
    if (!category.isEmpty())
        condition = vorndata::condition(schema::kCategory, category, 0, true);
    if (!text.isEmpty()) {
        if (!condition.isEmpty())
            condition += QStringLiteral("  and ");
        const QString literal = jet::escapeLikeText(text);
        condition += u'(' + vorndata::condition(schema::kTitle, literal, 1, true) + QStringLiteral(" or ") +
                     vorndata::condition(schema::kDescription, literal, 1, true) + u')';
    }
    if (condition.isEmpty())
        return std::nullopt;
    return condition;
}

QString receiptNumberCondition(const QString& number)
{
    return vorndata::condition(schema::kId, number, 0, false);
}

} // namespace qb
