#include "app/ReceiptSearch.h"

#include <gtest/gtest.h>

using namespace qb;

TEST(ReceiptSearchTest, CategoryAndTextMakeTheFourShapesOfCondition)
{
    struct Case
    {
        QString category, text;
        std::optional<QString> condition;
    };
    const Case cases[] = {
        {"", "", std::nullopt},
        {"办公", "", "类别 = '办公'"},
        {"", "午餐", "(票据标题 like  '%午餐%' or 说明 like  '%午餐%')"},
        {"办公", "午餐", "类别 = '办公'  and (票据标题 like  '%午餐%' or 说明 like  '%午餐%')"},
        // Quotes are doubled; wildcards and brackets in the text are searched for as typed.
        {"it's", "50%_[x]",
         "类别 = 'it''s'  and (票据标题 like  '%50[%][_][[]x]%' or 说明 like  '%50[%][_][[]x]%')"},
        {" ", "", "类别 = ' '"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(searchCondition(c.category, c.text), c.condition)
            << c.category.toStdString() << " / " << c.text.toStdString();
}

TEST(ReceiptSearchTest, ReceiptNumberIsAnUnquotedNumberOrMatchesNothing)
{
    EXPECT_EQ(receiptNumberCondition("17"), "id = 17");
    EXPECT_EQ(receiptNumberCondition("17 or 1=1"), "id = NULL");
}
