#include "store/Condition.h"
#include "store/JetCompare.h"
#include "store/JetLike.h"
#include "store/JetText.h"
#include "store/StoreError.h"
#include "tests/store/StoreFixture.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <sqlcipher/sqlite3.h>

using namespace qb;
using namespace qb::test;

namespace {

QString failureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const StoreError& e) {
        return e.message();
    }
    return QStringLiteral("<no failure>");
}

QStringList titles(RecordSet& rs)
{
    QStringList out;
    for (rs.first(); !rs.eof(); rs.next())
        out.append(rs.fieldAsText(QStringLiteral("票据标题")));
    return out;
}

} // namespace

using RecordSetTest = StoreFixture;

TEST_F(RecordSetTest, StoreFileIsEncryptedAndNeedsItsPassword)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.read(16).startsWith("SQLite format 3")) << "the store file must not be plain SQLite";

    Connection wrong;
    EXPECT_FALSE(vorndata::connect(wrong, path, QStringLiteral("kvqf")));
    wrong.setConnectionString(QStringLiteral("Data Source=%1;Jet OLEDB:Database Password=nope").arg(path));
    EXPECT_EQ(failureOf([&] { wrong.setConnected(true); }),
              QStringLiteral("file is encrypted or is not a database"));
}

TEST_F(RecordSetTest, OutsideShellsSeeTheSchemaOnlyWithTheKey)
{
    const QString sqlcipher = QStandardPaths::findExecutable(QStringLiteral("sqlcipher"));
    const QString sqlite3 = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (sqlcipher.isEmpty() || sqlite3.isEmpty())
        GTEST_SKIP() << "sqlcipher or sqlite3 shell not installed";
    connection.close();

    QProcess shell;
    shell.start(sqlcipher, {path});
    shell.write("PRAGMA key='kvqe';\nPRAGMA table_info(pj);\nPRAGMA table_info(ml);\n");
    shell.closeWriteChannel();
    ASSERT_TRUE(shell.waitForFinished(20000));
    QStringList columns;
    for (const QString& line : QString::fromUtf8(shell.readAllStandardOutput()).split(u'\n'))
        if (line.count(u'|') >= 2) // cid|name|type|notnull|default|pk
            columns.append(line.section(u'|', 1, 1));
    EXPECT_EQ(columns, (QStringList{"ID", "类别", "票据标题", "说明", "图片", "ID", "类别"}))
        << "the receipt table must have exactly its five columns in order";

    QProcess plain;
    plain.start(sqlite3, {path, QStringLiteral(".tables")});
    ASSERT_TRUE(plain.waitForFinished(20000));
    EXPECT_NE(plain.exitCode(), 0);
    EXPECT_TRUE(plain.readAllStandardError().contains("not a database"));
}

TEST_F(RecordSetTest, CreatingOverAnExistingFileOrFolderFails)
{
    EXPECT_FALSE(vorndata::createDatabase(path, kStorePassword))
        << "an existing store must never be replaced";
    const QString dir = folder.file(QStringLiteral("dir.db"));
    ASSERT_TRUE(QDir().mkpath(dir));
    EXPECT_FALSE(vorndata::createDatabase(dir, kStorePassword));
    Connection c;
    EXPECT_FALSE(vorndata::connect(c, dir, kStorePassword)) << "a folder named like the store is no store";
    EXPECT_FALSE(vorndata::connect(c, folder.file(QStringLiteral("missing.db")), kStorePassword));
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("missing.db")))) << "connect must not create files";
}

TEST_F(RecordSetTest, CounterNumbersRowsAndNeverReusesANumber)
{
    addReceipt("a", "one", "", "00001.jpg");
    addReceipt("a", "two", "", "00002.jpg");
    RecordSet& rs = receipts();
    EXPECT_EQ(rs.fieldAsText("id"), "2") << "field names match ignoring case";
    rs.deleteRecord();
    addReceipt("a", "three", "", "00003.jpg");
    EXPECT_EQ(rs.fieldAsText("ID"), "3") << "a deleted number must not be handed out again";
    EXPECT_EQ(titles(rs), (QStringList{"one", "three"}));
}

TEST_F(RecordSetTest, LongTextAndFixedTextKeepValuesExactlyAsTyped)
{
    const QStringList texts{"0123", "1e5", "  padded  ", "", "多行\n说明", QString(5000, u'长')};
    for (const QString& t : texts)
        addReceipt(t.left(50), "t", t, "p.jpg");
    RecordSet fresh;
    fresh.setConnection(&connection);
    ASSERT_TRUE(vorndata::openTable(fresh, "pj"));
    int i = 0;
    for (fresh.first(); !fresh.eof(); fresh.next(), ++i) {
        EXPECT_EQ(fresh.fieldAsText("说明"), texts[i])
            << "description " << i << " changed on its way through";
        EXPECT_EQ(fresh.fieldAsText("类别"), texts[i].left(50));
    }
    EXPECT_EQ(i, texts.size());
}

TEST_F(RecordSetTest, ValueLongerThanItsColumnIsRefusedWholeNamingTheColumn)
{
    const QString tooLong(51, u'票');
    const QString message = failureOf([&] { addReceipt("c", tooLong, "d", "p.jpg"); });
    EXPECT_TRUE(message.startsWith("ADOQuery1: ")) << message.toStdString();
    EXPECT_TRUE(message.contains("票据标题"))
        << "the message must name the column: " << message.toStdString();
    EXPECT_EQ(receipts().recordCount(), 0) << "no half row may be written";

    addReceipt("c", QString(50, u'票'), "d", "p.jpg");
    RecordSet& rs = receipts();
    rs.edit();
    rs.setFieldValue("图片", tooLong);
    EXPECT_TRUE(failureOf([&] { rs.post(); }).contains("图片"));
    rs.cancel();
    EXPECT_EQ(rs.fieldAsText("图片"), "p.jpg");
}

// The engine refuses a text over its length limit when it is bound; left
// unbound, the field would be written as Null.
TEST_F(RecordSetTest, TextOverTheEnginesLimitIsRefusedNotStoredAsNull)
{
    sqlite3_limit(connection.handle(), SQLITE_LIMIT_LENGTH, 4096);
    const QString tooLong(2000, u'长'); // 6000 bytes
    EXPECT_EQ(failureOf([&] { addReceipt("c", "t", tooLong, "p.jpg"); }), "string or blob too big");
    EXPECT_EQ(receipts().recordCount(), 0) << "no receipt may be filed without its description";

    addReceipt("c", "t", "short", "p.jpg");
    RecordSet& rs = receipts();
    rs.edit();
    rs.setFieldValue("说明", tooLong);
    EXPECT_NE(failureOf([&] { rs.post(); }), "<no failure>");
    rs.cancel();
    RecordSet fresh;
    fresh.setConnection(&connection);
    ASSERT_TRUE(vorndata::openTable(fresh, "pj"));
    EXPECT_EQ(fresh.fieldAsText("说明"), "short");
}

TEST_F(RecordSetTest, FailureTextsCarryTheRecordSetName)
{
    RecordSet named(QStringLiteral("ADOQuery1"));
    RecordSet anonymous;
    struct Case
    {
        const char* what;
        std::function<void(RecordSet&)> action;
    };
    const std::vector<Case> onClosed{
        {"first", [](RecordSet& r) { r.first(); }},
        {"next", [](RecordSet& r) { r.next(); }},
        {"edit", [](RecordSet& r) { r.edit(); }},
        {"append", [](RecordSet& r) { r.appendRecord({std::nullopt}); }},
        {"delete", [](RecordSet& r) { r.deleteRecord(); }},
        {"locate", [](RecordSet& r) { r.locate("a", "b"); }},
        {"count", [](RecordSet& r) { r.recordCount(); }},
    };
    for (const Case& c : onClosed) {
        EXPECT_EQ(failureOf([&] { c.action(named); }),
                  "ADOQuery1: Cannot perform this operation on a closed dataset")
            << c.what;
        EXPECT_EQ(failureOf([&] { c.action(anonymous); }),
                  "Cannot perform this operation on a closed dataset")
            << c.what;
    }
    RecordSet& rs = receipts();
    EXPECT_EQ(failureOf([&] { rs.deleteRecord(); }),
              "ADOQuery1: Cannot perform this operation on an empty dataset");
    EXPECT_EQ(failureOf([&] { rs.fieldAsText("金额"); }), "ADOQuery1: Field '金额' not found");
}

TEST_F(RecordSetTest, NavigationVisitsAllRowsAndSetsEndAfterTheLast)
{
    RecordSet& rs = receipts();
    rs.first();
    EXPECT_TRUE(rs.eof()) << "end must be set right after first on an empty record set";
    addReceipt("a", "one", "", "");
    addReceipt("b", "two", "", "");
    rs.first();
    EXPECT_FALSE(rs.eof());
    rs.next();
    EXPECT_FALSE(rs.eof());
    rs.next();
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(rs.recordCount(), 2);
    EXPECT_TRUE(rs.locate("类别", "b"));
    EXPECT_EQ(rs.fieldAsText("票据标题"), "two");
    EXPECT_FALSE(rs.locate("类别", "B")) << "locate compares exactly";
    EXPECT_EQ(rs.fieldAsText("票据标题"), "two") << "a failed locate keeps the current row";
}

TEST_F(RecordSetTest, EditOnAnEmptyRecordSetAddsARowAndPendingEditsPostOnMove)
{
    RecordSet& rs = receipts();
    rs.edit();
    rs.setFieldValue("类别", "new");
    rs.setFieldValue("票据标题", "from edit");
    rs.post();
    EXPECT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(rs.fieldAsText("ID"), "1");

    addReceipt("a", "second", "", "");
    rs.first();
    rs.edit();
    rs.setFieldValue("票据标题", "changed");
    rs.next(); // a changed pending edit is posted by the move
    rs.edit();
    rs.next(); // an unchanged one is dropped
    RecordSet fresh;
    fresh.setConnection(&connection);
    vorndata::openTable(fresh, "pj");
    EXPECT_EQ(titles(fresh), (QStringList{"changed", "second"}));
    EXPECT_EQ(failureOf([&] { rs.setFieldValue("类别", "x"); }),
              "ADOQuery1: Dataset not in edit or insert mode");
}

// Every kind of move settles a pending edit of the row it leaves: a changed
// one is posted to that row, an unchanged one dropped. The grid's click moves
// with moveTo, the entry page's category search with locate.
TEST_F(RecordSetTest, EveryMoveSettlesThePendingEditOfTheRowItLeaves)
{
    struct Move
    {
        const char* name;
        std::function<void(RecordSet&)> move;
        QString titleAfter;
        QStringList untouched;
    };
    const QStringList three{"a", "b", "c"};
    const Move moves[] = {
        {"first", [](RecordSet& r) { r.first(); }, "a", three},
        {"next", [](RecordSet& r) { r.next(); }, "c", three},
        {"moveTo another row", [](RecordSet& r) { r.moveTo(2); }, "c", three},
        {"moveTo the same row", [](RecordSet& r) { r.moveTo(1); }, "b", three},
        {"locate", [](RecordSet& r) { r.locate("类别", "k0"); }, "a", three},
        {"append",
         [](RecordSet& r) {
             r.appendRecord({std::nullopt, "k3", "d", "", ""});
         },
         "d",
         {"a", "b", "c", "d"}},
    };
    for (const Move& move : moves) {
        for (const bool changed : {true, false}) {
            SCOPED_TRACE(std::string(move.name) + (changed ? ", changed edit" : ", unchanged edit"));
            connection.execute(QStringLiteral("delete from pj"));
            query.close();
            for (const char* title : {"a", "b", "c"})
                addReceipt(QStringLiteral("k%1").arg(title[0] - 'a'), title, "", "");
            RecordSet& rs = receipts();
            rs.moveTo(1);
            rs.edit();
            if (changed)
                rs.setFieldValue("票据标题", "changed");
            move.move(rs);
            EXPECT_FALSE(rs.editing());
            const QString shown =
                move.titleAfter == "b" && changed ? QStringLiteral("changed") : move.titleAfter;
            EXPECT_EQ(rs.fieldAsText("票据标题"), shown) << "the move must reach its own row";

            RecordSet fresh;
            fresh.setConnection(&connection);
            vorndata::openTable(fresh, "pj");
            QStringList stored = move.untouched;
            if (changed)
                stored[1] = QStringLiteral("changed");
            EXPECT_EQ(titles(fresh), stored) << "the change belongs to the row the edit was made on";
        }
    }
}

TEST_F(RecordSetTest, DeleteMovesToTheNextRowOrTheNewLast)
{
    for (const char* t : {"a", "b", "c"})
        addReceipt("k", t, "", "");
    RecordSet& rs = receipts();
    rs.moveTo(1);
    rs.deleteRecord();
    EXPECT_EQ(rs.fieldAsText("票据标题"), "c");
    rs.deleteRecord();
    EXPECT_EQ(rs.fieldAsText("票据标题"), "a");
    rs.deleteRecord();
    EXPECT_EQ(rs.recordCount(), 0);
    EXPECT_TRUE(rs.eof());
}

TEST_F(RecordSetTest, ManyRowsReadInBatchesMatchTheStore)
{
    // Rows straddle several read batches, and a filter leaves sparse hits.
    connection.execute("begin");
    for (int i = 1; i <= 3000; ++i)
        connection.execute(
            QStringLiteral("insert into pj(类别,票据标题,说明,图片) values('%1','t%2','d%2','')")
                .arg(i % 1000 == 0 ? "rare" : "common")
                .arg(i));
    connection.execute("commit");
    RecordSet& rs = receipts();
    EXPECT_EQ(rs.recordCount(), 3000);
    for (int row : {0, 255, 256, 511, 2999, 1000})
        EXPECT_EQ(rs.displayText(row, 2), QStringLiteral("t%1").arg(row + 1)) << "row " << row;
    EXPECT_EQ(rs.displayText(5, 3), "(WIDEMEMO)") << "long text shows its placeholder in the grid";

    RecordSet filtered;
    filtered.setConnection(&connection);
    ASSERT_TRUE(vorndata::openFiltered(filtered, "pj", vorndata::condition("类别", "rare", 0, true)));
    EXPECT_EQ(titles(filtered), (QStringList{"t1000", "t2000", "t3000"}));

    // Another program may number receipts at both ends of the range; one batch then spans it.
    connection.execute(
        "insert into pj(ID,类别,票据标题,说明,图片) values(-9223372036854775808,'x','low','',''),"
        "(9223372036854775807,'x','high','','')");
    RecordSet ends;
    ends.setConnection(&connection);
    ASSERT_TRUE(vorndata::openTable(ends, "pj"));
    ASSERT_EQ(ends.recordCount(), 3002);
    EXPECT_EQ(ends.displayText(0, 2) + ends.displayText(1, 2) + ends.displayText(3001, 2), "lowt1high");
}

// A counted table reads its ids as its rows are asked for; changes made
// before most ids are read land where a full list of ids puts them.
TEST_F(RecordSetTest, CountedTableReadsItsIdsOnDemandAndKeepsChangesInPlace)
{
    connection.execute("begin");
    for (int i = 1; i <= 3000; ++i)
        connection.execute(
            QStringLiteral("insert into pj(类别,票据标题,说明,图片) values('c','t%1','','')").arg(i));
    connection.execute("commit");
    RecordSet& rs = receipts();
    ASSERT_EQ(rs.recordCount(), 3000);
    rs.moveTo(1500);
    rs.deleteRecord();
    EXPECT_EQ(rs.fieldAsText("票据标题"), "t1502");
    rs.moveTo(2600);
    rs.edit();
    rs.setFieldValue("票据标题", "changed");
    rs.post();
    addReceipt("c", "new", "", "");
    EXPECT_EQ(rs.recordCount(), 3000);
    EXPECT_EQ(rs.currentIndex(), 2999);
    EXPECT_EQ(rs.displayText(2999, 2), "new");
    EXPECT_EQ(rs.displayText(2600, 2), "changed");
    EXPECT_EQ(rs.displayText(1500, 2), "t1502");

    RecordSet fresh;
    fresh.setConnection(&connection);
    ASSERT_TRUE(vorndata::openTable(fresh, "pj"));
    QStringList expected = titles(fresh);
    QStringList shown;
    for (int row = 0; row < 3000; ++row)
        shown.append(rs.displayText(row, 2));
    EXPECT_EQ(shown, expected);

    // Rows another program deletes before their ids are read are gone, not a failure.
    RecordSet counted;
    counted.setConnection(&connection);
    ASSERT_TRUE(vorndata::openTable(counted, "pj"));
    ASSERT_EQ(counted.recordCount(), 3000);
    Connection other;
    ASSERT_TRUE(vorndata::connect(other, path, kStorePassword));
    other.execute("delete from pj where ID > 2990");
    EXPECT_EQ(counted.displayText(2995, 2), "");
    EXPECT_EQ(counted.displayText(2980, 2), expected[2980]);
}

// A count known elsewhere is taken for the table it was given for, and only
// while the record set selects all of that table.
TEST_F(RecordSetTest, KnownCountServesOnlyItsOwnTableUnfiltered)
{
    for (const char* t : {"a", "b", "c"})
        addReceipt("k", t, "", "");
    int asked = 0;
    const auto known = [&]() -> std::optional<size_t> {
        ++asked;
        return 3;
    };
    RecordSet all;
    all.setConnection(&connection);
    all.setKnownCount("pj", known);
    ASSERT_TRUE(vorndata::openTable(all, "pj"));
    EXPECT_EQ(all.recordCount(), 3);
    EXPECT_EQ(asked, 1);

    RecordSet other;
    other.setConnection(&connection);
    other.setKnownCount("pj", [] { return std::optional<size_t>(99); });
    ASSERT_TRUE(vorndata::openTable(other, "ml"));
    EXPECT_EQ(other.recordCount(), 0) << "a count given for the receipts is no count of the categories";

    RecordSet filtered;
    filtered.setConnection(&connection);
    filtered.setKnownCount("pj", [] { return std::optional<size_t>(99); });
    ASSERT_TRUE(vorndata::openFiltered(filtered, "pj", vorndata::condition("票据标题", "b", 0, true)));
    EXPECT_EQ(filtered.recordCount(), 1);
}

TEST(JetTextTest, ConnectionTextsAndTypes)
{
    const auto parts = jet::parseConnectionText(
        "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info = False;Mode = ReadWrite;"
        "Data Source=/tmp/a b/pj.db;Jet OLEDB:Database Password=kvqe");
    EXPECT_EQ(parts.dataSource, "/tmp/a b/pj.db");
    EXPECT_EQ(parts.password, "kvqe");
    EXPECT_EQ(jet::declaredWidth("char(50)"), 50);
    EXPECT_EQ(jet::declaredWidth("LONGTEXT"), 0);
    EXPECT_TRUE(
        jet::isLongText(jet::translateStatement("create table t(x memo)").section(' ', 3).chopped(1)));
    EXPECT_EQ(jet::translateStatement("select * from memo"), "select * from memo")
        << "only table definitions are rewritten";
}

TEST(LikeTest, WildcardsSetsAndCaseFolding)
{
    struct Case
    {
        QString pattern;
        QString text;
        bool matches;
    };
    const std::vector<Case> cases{
        {"%电费%", "三月电费单", true}, {"%电费%", "水费", false},    {"%abc%", "xxABCxx", true},
        {"%équipe%", "ÉQUIPE", true},   {"%ａｂ%", "ＡＢ", true},     {"a_c", "abc", true},
        {"a_c", "ac", false},           {"%50[%]%", "打折50%", true}, {"%50[%]%", "打折500", false},
        {"%a[_]b%", "a_b", true},       {"%a[_]b%", "axb", false},    {"%[[]x%", "[x", true},
        {"[!a]bc", "xbc", true},        {"[a-c]", "b", true},         {"%%", "", true},
        {"%a%b%c%", "aXbYc", true},     {"[abc", "[abc", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(jet::LikePattern(c.pattern).matches(c.text), c.matches)
            << c.text.toStdString() << " like " << c.pattern.toStdString();
    EXPECT_EQ(jet::escapeLikeText("50%_[x]"), "50[%][_][[]x]");
    for (const QString& text : {QString("50%"), QString("a_b"), QString("[x]"), QString("100%_[!]")})
        EXPECT_TRUE(
            jet::LikePattern("%" + jet::escapeLikeText(text) + "%").matches("before " + text + " after"))
            << "an escaped text must find itself: " << text.toStdString();
}

TEST_F(RecordSetTest, EnginesLikeUsesTheProgramsRules)
{
    addReceipt("k", "Taxi to AIRPORT", "", "");
    addReceipt("k", "打折50%", "", "");
    addReceipt("k", "打折500", "", "");
    RecordSet rs;
    rs.setConnection(&connection);
    ASSERT_TRUE(vorndata::openFiltered(rs, "pj", "票据标题 like  '%airport%'"));
    EXPECT_EQ(titles(rs), QStringList{"Taxi to AIRPORT"});
    ASSERT_TRUE(vorndata::openFiltered(rs, "pj", "票据标题 like  '%50[%]%'"));
    EXPECT_EQ(titles(rs), QStringList{"打折50%"});
}

// A step of the engine that fails in the middle of a walk (here an overflow
// that the condition raises at one row while a trap row exists) reaches the
// caller with the engine's text; afterwards the walk goes on without reading
// out of bounds or finding a row twice.
TEST_F(RecordSetTest, EngineFailureInTheMiddleOfAWalkLeavesTheRecordSetWhole)
{
    connection.execute("begin");
    for (int i = 1; i <= 1500; ++i)
        connection.execute(
            QStringLiteral("insert into pj(类别,票据标题,说明,图片) values('c','t%1','','')").arg(i));
    connection.execute("create table trap(x)");
    connection.execute("insert into trap values(1)");
    connection.execute("commit");

    RecordSet walk;
    walk.setConnection(&connection);
    walk.selectFrom("pj", "abs(case when ID = 700 and exists(select 1 from trap) "
                          "then -9223372036854775808 else 1 end) > 0");
    walk.open();
    QStringList seen;
    QString failure;
    try {
        for (walk.first(); !walk.eof(); walk.next())
            seen.append(walk.fieldAsText("票据标题"));
    } catch (const StoreError& e) {
        failure = e.message();
    }
    EXPECT_EQ(failure, "integer overflow");
    EXPECT_EQ(seen.size(), 699);

    connection.execute("delete from trap");
    for (walk.next(); !walk.eof(); walk.next())
        seen.append(walk.fieldAsText("票据标题"));
    ASSERT_EQ(seen.size(), 1500) << "every row once, none twice";
    for (int i = 0; i < seen.size(); ++i)
        ASSERT_EQ(seen[i], QStringLiteral("t%1").arg(i + 1)) << "row " << i;
    EXPECT_EQ(walk.recordCount(), 1500);
}

// The record set gets a condition's values bound, never read back out of
// its text: a quote, a zero character or an "=" inside a value is part of
// the value, and a quoted "=" compares as sameText() does.
TEST_F(RecordSetTest, ConditionValuesAreBoundAndQuotedEqualityIsSameText)
{
    const QString zero = QStringLiteral("a%1b").arg(QChar(0));
    addReceipt("Office  ", "x = 'y' it's", "", "");
    addReceipt(zero, "zero", "", "");
    addReceipt("a", "plain a", "", "");
    const auto found = [&](const Condition& condition) {
        RecordSet rs;
        rs.setConnection(&connection);
        EXPECT_TRUE(vorndata::openFiltered(rs, "pj", condition)) << condition.text().toStdString();
        return titles(rs);
    };
    EXPECT_EQ(found(vorndata::conditionValue("类别", "office", 0, true)), QStringList{"x = 'y' it's"});
    EXPECT_EQ(found(vorndata::conditionValue("类别", zero, 0, true)), QStringList{"zero"});
    EXPECT_EQ(found(vorndata::conditionValue("票据标题", "x = 'y' it", 1, true)),
              QStringList{"x = 'y' it's"});
    EXPECT_EQ(found(vorndata::conditionValue("ID", "2", 0, false)), QStringList{"zero"});
    EXPECT_EQ(found(vorndata::conditionValue("ID", "2", 2, false)), (QStringList{"zero", "plain a"}));
    EXPECT_EQ(found(vorndata::conditionValue("ID", "2.5", -1, false)), (QStringList{"x = 'y' it's", "zero"}));
    for (const char* notANumber : {"1 or 1=1", "inf", "nan", ""})
        EXPECT_EQ(found(vorndata::conditionValue("ID", notANumber, 2, false)), QStringList{}) << notANumber;

    Condition both = vorndata::conditionValue("类别", "it's", 0, true);
    both += QStringLiteral("  and (");
    both += vorndata::conditionValue("票据标题", "50%", 1, true);
    both += QStringLiteral(")");
    EXPECT_EQ(both.text(), "类别 = 'it''s'  and (票据标题 like  '%50%%')");
    EXPECT_EQ(both.engineText(), "qb_same_text(类别,?1)  and (票据标题 like ?2)");
    RecordSet shown;
    shown.setConnection(&connection);
    ASSERT_TRUE(vorndata::openFiltered(shown, "pj", both));
    EXPECT_EQ(shown.sql(), "select * from pj where 类别 = 'it''s'  and (票据标题 like  '%50%%')");
    EXPECT_TRUE(jet::sameText("Office  ", "office"));
    EXPECT_TRUE(jet::sameText(QStringLiteral(" \t%1office\n").arg(QChar(0)), "OFFICE"))
        << "blanks and control characters at either end are trimmed, as the category list trims them";
    EXPECT_FALSE(jet::sameText("off ice", "office"));
}
