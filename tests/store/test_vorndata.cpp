#include "tests/store/StoreFixture.h"

#include <QDir>

using namespace qb;
using namespace qb::test;

TEST(ConditionBuilderTest, BuildsEveryFormWithItsExactSpacing)
{
    struct Case
    {
        QString value;
        int kind;
        bool quoted;
        QString expected;
    };
    const std::vector<Case> cases{
        {"", 0, true, "x = ''"},
        {"ab", -1, true, "x like  'ab*'"},
        {"ab", 1, true, "x like  '%ab%'"},
        {"办公", 0, true, "x = '办公'"},
        {"5", -2, false, "x <= 5"},
        {"5", -1, false, "x < 5"},
        {"5", 1, false, "x >5"},
        {"5", 2, false, "x >=5"},
        {"5", 7, false, "x = 5"},
        {"17", 0, false, "x = 17"},
        // A quote is doubled so that the value is searched for, not executed.
        {"O'Brien", 0, true, "x = 'O''Brien'"},
        {"it's", 1, true, "x like  '%it''s%'"},
        // The unquoted form takes numbers only; anything else matches no row.
        {"1 or 1=1", 0, false, "x = NULL"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vorndata::condition("x", c.value, c.kind, c.quoted), c.expected)
            << "value " << c.value.toStdString() << " kind " << c.kind;
        EXPECT_EQ(vorndata::conditionValue("x", c.value, c.kind, c.quoted).text(), c.expected)
            << "the value reports the same text: " << c.value.toStdString() << " kind " << c.kind;
    }
}

using VorndataTest = StoreFixture;

TEST_F(VorndataTest, RoutinesReportInsteadOfFailing)
{
    RecordSet rs;
    rs.setConnection(&connection);
    EXPECT_FALSE(vorndata::openTable(rs, "pass")) << "a missing table cannot be opened";
    EXPECT_FALSE(rs.active());
    EXPECT_TRUE(vorndata::execute(rs, "create table pass(mm char(50))"));
    EXPECT_TRUE(rs.sql().isEmpty()) << "a statement that ran is cleared";
    EXPECT_FALSE(vorndata::execute(rs, "create table pass(mm char(50))"));
    EXPECT_EQ(rs.sql(), "create table pass(mm char(50))") << "a failed statement stays";
    EXPECT_TRUE(vorndata::openTable(rs, "pass"));
    EXPECT_TRUE(vorndata::openFiltered(rs, "pj", vorndata::condition("类别", "it's", 0, true)));
    EXPECT_FALSE(vorndata::openFiltered(rs, "pj", "类别 = 'unbalanced"));
    EXPECT_FALSE(rs.active());
}

TEST_F(VorndataTest, ConnectionReconnectsOnDemandWithTheTextItHolds)
{
    connection.close();
    RecordSet rs;
    rs.setConnection(&connection);
    EXPECT_TRUE(vorndata::openTable(rs, "ml")) << "opening on a closed connection connects it";
    EXPECT_TRUE(connection.connected());
    EXPECT_TRUE(vorndata::connect(connection, path, kStorePassword)) << "connecting twice changes nothing";
    EXPECT_FALSE(vorndata::connect(connection, folder.file("other.db"), kStorePassword))
        << "another store refused on a connected connection is a failure";
    EXPECT_TRUE(connection.connected());
}
