#include "app/core/ReceiptSearch.h"
#include "store/ReceiptIndex.h"
#include "store/StoreError.h"
#include "tests/store/StoreFixture.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <cstring>
#include <gtest/gtest.h>
#include <sqlcipher/sqlite3.h>

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
    for (const Case& c : cases) {
        const auto made = searchCondition(c.category, c.text);
        EXPECT_EQ(made ? std::optional<QString>(made->text()) : std::nullopt, c.condition)
            << c.category.toStdString() << " / " << c.text.toStdString();
    }
}

TEST(ReceiptSearchTest, ReceiptNumberIsAnUnquotedNumberOrMatchesNothing)
{
    EXPECT_EQ(receiptNumberCondition("17").text(), "id = 17");
    EXPECT_EQ(receiptNumberCondition("17 or 1=1").text(), "id = NULL");
}

TEST(ResultLineTest, GivesBackItsNumberWhateverTheTitleHolds)
{
    const QString titles[] = {"午餐", "", "a|b", "|", "||x|", " 留 白 ", "\u0000零"};
    for (const QString& title : titles) {
        TextLines lines;
        appendResultLine(lines, QStringLiteral("42"), title);
        const QByteArray bytes = title.toUtf8();
        appendResultLine(lines, "42", std::string_view(bytes.constData(), size_t(bytes.size())));
        EXPECT_EQ(lines.at(0), "42|" + title);
        EXPECT_EQ(lines.at(1), lines.at(0)) << "both ways of making a line make the same line";
        EXPECT_EQ(resultLineNumber(lines.at(0)), "42") << title.toStdString();
    }
    EXPECT_EQ(resultLineNumber("17"), "17") << "a line without a title is all number";
}

namespace {

template <typename Lines> QStringList toList(const Lines& lines)
{
    QStringList out;
    for (int i = 0; i < lines.size(); ++i)
        out.append(lines.at(i));
    return out;
}

class ReceiptIndexTest : public test::StoreFixture
{
protected:
    QStringList indexed(const QString& category, const QString& text)
    {
        return toList(index.search(category, text));
    }
    QStringList scanned(const QString& category, const QString& text)
    {
        return toList(scanForReceipts(connection, category, text));
    }
    // Another connection to the same file, as another program would hold.
    void peer(const QString& statement)
    {
        Connection other;
        ASSERT_TRUE(vorndata::connect(other, path, schema::kStorePassword));
        other.execute(statement);
    }

    ReceiptIndex index{connection};
};

} // namespace

// The copy must find exactly what the statement finds in the store, for the
// texts where folding, padding, Null and wildcard characters matter.
TEST_F(ReceiptIndexTest, FindsWhatTheStatementFindsForEveryShapeOfSearch)
{
    const QStringList categories{"办公", "办公 ", "BÜRO", "büro", "", "Ａ组"};
    const QStringList texts{"打印纸", "Taxi AIRPORT", "50% off_x", "[旧]票", "It's",
                            "ÉCOLE",  " 前后 ",       "ß",         "ﬁle",    "a\tb"};
    QRandomGenerator random(11);
    connection.execute("begin");
    for (int i = 0; i < 400; ++i) {
        const auto pick = [&](const QStringList& from) { return from[int(random.bounded(from.size()))]; };
        const QString category = pick(categories);
        const QString title = pick(texts) + (random.bounded(3) ? QString() : pick(texts).toUpper());
        const QString description = random.bounded(4) ? pick(texts) + QString::number(i) : QString();
        connection.execute(
            QStringLiteral("insert into pj(类别,票据标题,说明,图片) values(%1,%2,%3,'x.jpg')")
                .arg(random.bounded(10) ? "'" + QString(category).replace("'", "''") + "'" : "NULL",
                     random.bounded(10) ? "'" + QString(title).replace("'", "''") + "'" : "NULL",
                     description.isEmpty() ? "NULL" : "'" + QString(description).replace("'", "''") + "'"));
    }
    connection.execute("commit");

    const QStringList queries{"",      "打印",  "airport", "AIR", "50%", "%", "_",    "[旧]", "[", "it's",
                              "école", "前后 ", " ",       "SS",  "ß",   "ﬁ", "FILE", "\t",   "0", "没有"};
    const QStringList wanted{"", "办公", "办公   ", "BÜRO", "ａ组", " ", "无此类"};
    int hits = 0;
    for (const QString& category : wanted)
        for (const QString& text : queries) {
            const QStringList expected = scanned(category, text);
            hits += int(expected.size());
            ASSERT_EQ(indexed(category, text), expected)
                << "category '" << category.toStdString() << "', text '" << text.toStdString() << "'";
        }
    EXPECT_GT(hits, 2000) << "the cases must find something";
    EXPECT_EQ(index.loads(), 1);
}

TEST_F(ReceiptIndexTest, FollowsOwnWritesWithoutReadingEverythingAgain)
{
    addReceipt("办公", "打印纸", "A4", "1.jpg");
    addReceipt("交通", "出租车", "机场", "2.jpg");
    EXPECT_EQ(indexed("", ""), (QStringList{"1|打印纸", "2|出租车"}));

    // Lines found earlier stay as found when the copy changes under them.
    FoundReceipts earlier = index.search("", "");
    index.setBeforeChange([&] { earlier.keep(); });

    addReceipt("办公", "墨盒", "打印机用", "3.jpg");
    receipts().first();
    receipts().edit();
    receipts().setFieldValue("票据标题", "Paper");
    receipts().post();
    receipts().next();
    receipts().deleteRecord();
    EXPECT_EQ(indexed("", "打印"), (QStringList{"3|墨盒"}));
    EXPECT_EQ(indexed("", "PAPER"), (QStringList{"1|Paper"}));
    EXPECT_EQ(indexed("办公", ""), (QStringList{"1|Paper", "3|墨盒"}));
    EXPECT_EQ(index.loads(), 1);
    EXPECT_EQ(toList(earlier), (QStringList{"1|打印纸", "2|出租车"}));
    // A deleted receipt's words stay in the copy's bytes until they are laid out again; they find nothing.
    addReceipt("办公", "长", QString(40, u'长'), "4.jpg");
    receipts().first();
    receipts().next();
    receipts().deleteRecord();
    EXPECT_EQ(indexed("", "墨盒"), QStringList{});
    EXPECT_EQ(index.loads(), 1);

    // A change the engine does not report row by row is noticed all the same.
    connection.execute("delete from pj");
    EXPECT_EQ(indexed("", ""), QStringList{});
}

TEST_F(ReceiptIndexTest, SeesWhatAnotherProgramWroteOrDeleted)
{
    addReceipt("办公", "打印纸", "A4", "1.jpg");
    addReceipt("交通", "出租车", "机场", "2.jpg");
    EXPECT_EQ(indexed("", "出租车"), QStringList{"2|出租车"});

    peer("insert into pj(类别,票据标题,说明,图片) values('交通','出租车 夜间','','3.jpg')");
    EXPECT_EQ(indexed("", "出租车"), (QStringList{"2|出租车", "3|出租车 夜间"}));
    peer("delete from pj where ID = 2");
    EXPECT_EQ(indexed("交通", ""), QStringList{"3|出租车 夜间"});
    peer("update pj set 说明 = '夜间打车' where ID = 1");
    EXPECT_EQ(indexed("", "打车"), QStringList{"1|打印纸"});

    // The outside shell with the key is such a program too.
    const QString sqlcipher = QStandardPaths::findExecutable(QStringLiteral("sqlcipher"));
    if (sqlcipher.isEmpty())
        GTEST_SKIP() << "sqlcipher shell not installed";
    QProcess shell;
    shell.start(sqlcipher, {path});
    shell.write(
        "PRAGMA key='kvqe';\ninsert into pj(类别,票据标题,说明,图片) values('餐饮','午餐','','4.jpg');\n"
        "delete from pj where ID = 3;\n");
    shell.closeWriteChannel();
    ASSERT_TRUE(shell.waitForFinished(20000));
    EXPECT_EQ(indexed("", ""), (QStringList{"1|打印纸", "4|午餐"}));
}

// The copy read a slice at a time, as the program does while idle, with
// writes of this connection and of another program between the slices: the
// search finds what the statement finds, and a copy completed ahead of the
// search is not read again.
TEST_F(ReceiptIndexTest, CopyReadInSlicesBetweenWritesFindsWhatTheStatementFinds)
{
    for (int i = 1; i <= 40; ++i)
        addReceipt(i % 3 ? "办公" : "交通", QStringLiteral("票%1").arg(i), "", "x.jpg");
    const auto same = [&](const char* when) {
        for (const QString category : {"", "办公", "交通"})
            for (const QString text : {"", "票1", "票4"})
                ASSERT_EQ(indexed(category, text), scanned(category, text))
                    << when << ": '" << category.toStdString() << "', '" << text.toStdString() << "'";
    };

    EXPECT_FALSE(index.prepare(std::chrono::milliseconds(0), 8));
    addReceipt("交通", "票41", "", "x.jpg"); // past the slices read
    receipts().first();                      // inside them
    receipts().edit();
    receipts().setFieldValue("票据标题", "票4 改");
    receipts().post();
    receipts().next();
    receipts().deleteRecord();
    EXPECT_FALSE(index.prepare(std::chrono::milliseconds(0), 8));
    same("a search before the copy is complete");
    EXPECT_EQ(index.loads(), 1);

    peer("delete from pj where ID > 30");
    while (!index.prepare(std::chrono::milliseconds(0), 8)) {
    }
    EXPECT_EQ(index.loads(), 2);
    same("a copy completed ahead of the search");
    EXPECT_EQ(index.loads(), 2);

    addReceipt("办公", "票42", "", "x.jpg");
    EXPECT_TRUE(index.prepare(std::chrono::milliseconds(0), 8)) << "a complete copy has nothing to read";
    EXPECT_EQ(index.receiptCount(), std::nullopt) << "a write of this connection is not in the count yet";
    index.search("", ""); // the copy follows the write row by row
    EXPECT_EQ(index.receiptCount(), size_t(scanned("", "").size()));
    EXPECT_EQ(index.loads(), 2);
    // Another program writes while the slices are read: they start over.
    peer("delete from pj where ID > 40");
    EXPECT_FALSE(index.prepare(std::chrono::milliseconds(0), 8));
    peer("insert into pj(类别,票据标题,说明,图片) values('交通','票49','','y.jpg')");
    EXPECT_FALSE(index.prepare(std::chrono::milliseconds(0), 8));
    EXPECT_EQ(index.idleWait(), ReceiptIndex::kFirstWait) << "the second start in a row waits";
    EXPECT_FALSE(index.prepare(std::chrono::milliseconds(0), 8));
    EXPECT_EQ(index.loads(), 4) << "the slices read before the write were kept";
    same("after another program's write between the slices");
    EXPECT_EQ(index.loads(), 4);
}

// Texts that fold longer than they are stored (bytes of another encoding,
// written by another program) and long texts filed later make the copy's
// buffer grow while a receipt is being read into it.
TEST_F(ReceiptIndexTest, ReadsTextsThatOutgrowTheRoomReservedForThem)
{
    const QString gbk = QString("b0b0b0ecb9ab").repeated(1000);
    connection.execute("begin");
    for (int i = 0; i < 300; ++i)
        connection.execute(QStringLiteral("insert into pj(类别,票据标题,说明,图片) "
                                          "values('办公','票%1',CAST(X'%2' AS TEXT),'x.jpg')")
                               .arg(QString::number(i), gbk));
    connection.execute("commit");
    EXPECT_EQ(indexed("", "票29"), scanned("", "票29"));
    EXPECT_EQ(indexed("办公", ""), scanned("办公", ""));
    for (int i = 0; i < 2; ++i) {
        addReceipt("办公", "长", QString(30000, u'票'), "y.jpg");
        EXPECT_EQ(indexed("", "长"), scanned("", "长"));
    }
    EXPECT_EQ(indexed("", "长").size(), 2);
    EXPECT_EQ(index.loads(), 1);
}

// The rows are as many as the receipts, whatever their numbers: another
// program may number one 10^12.
TEST_F(ReceiptIndexTest, SparseNumbersCostNoMemory)
{
    addReceipt("办公", "打印纸", "A4", "1.jpg");
    peer("insert into pj(ID,类别,票据标题,说明,图片) values(1000000000000,'办公','远','','2.jpg')");
    EXPECT_EQ(indexed("办公", ""), (QStringList{"1|打印纸", "1000000000000|远"}));
    EXPECT_EQ(indexed("", "远"), scanned("", "远"));
    // The ends of the range, with the copy read while idle.
    peer("insert into pj(ID,类别,票据标题,说明,图片) values(-9223372036854775808,'办公','低','','3.jpg'),"
         "(9223372036854775807,'办公','高','','4.jpg')");
    while (!index.prepare(std::chrono::milliseconds(0), 1)) {
    }
    EXPECT_EQ(index.receiptCount(), 4u);
    EXPECT_EQ(indexed("办公", ""), (QStringList{"-9223372036854775808|低", "1|打印纸", "1000000000000|远",
                                                "9223372036854775807|高"}));
    EXPECT_LT(index.memoryBytes(), 64 * 1024u);
}

// Past its limit the copy is not read again for every search: the search
// goes to the store until the store changes.
TEST_F(ReceiptIndexTest, CopyTooLargeIsNotReadAgainUntilTheStoreChanges)
{
    ReceiptIndex small(connection, 4096);
    for (int i = 0; i < 40; ++i)
        addReceipt("办公", QStringLiteral("票%1").arg(i), QString(200, u'x'), "1.jpg");
    const auto found = [&](const QString& text) { return toList(findReceipts(small, connection, "", text)); };
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(found("票3"), scanned("", "票3"));
    EXPECT_EQ(small.loads(), 1) << "the copy was read again for an unchanged store";
    EXPECT_FALSE(small.loaded());

    addReceipt("交通", "票100", "", "2.jpg");
    EXPECT_EQ(found("票10"), (QStringList{"11|票10", "41|票100"}));
    EXPECT_EQ(small.loads(), 2) << "a write of this connection is a change";
    peer("delete from pj where ID > 20");
    EXPECT_EQ(found("票"), scanned("", "票"));
    EXPECT_EQ(small.loads(), 3) << "a write of another program is a change";
    found("票");
    EXPECT_EQ(small.loads(), 3);
}

// A zero character in the search's texts, or in the stored ones: the copy
// and the statement give one answer.
// Half-width and full-width forms, and a category in capitals of either
// width, find each other in the statement and in the copy alike.
TEST_F(ReceiptIndexTest, WidthsAndCaseFindEachOther)
{
    addReceipt("ＯＦＦＩＣＥ", "ｶﾞｿﾘﾝ A4", "", "1.jpg");
    addReceipt("office", "ガソリン", "Ａ４纸", "2.jpg");
    addReceipt("办公", "Straße", "", "3.jpg");
    struct Case
    {
        QString category, text;
        QStringList expected;
    };
    const std::vector<Case> cases{
        {"office", "", {"1|ｶﾞｿﾘﾝ A4", "2|ガソリン"}},
        {"", "ｶﾞｿﾘﾝ", {"1|ｶﾞｿﾘﾝ A4", "2|ガソリン"}},
        {"", "ガソリン", {"1|ｶﾞｿﾘﾝ A4", "2|ガソリン"}},
        {"", "ａ4", {"1|ｶﾞｿﾘﾝ A4", "2|ガソリン"}},
        {"Office", "strasse", {}},
        {"", "STRASSE", {"3|Straße"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scanned(c.category, c.text), c.expected) << "the statement, case " << &c - cases.data();
        EXPECT_EQ(indexed(c.category, c.text), c.expected) << "the copy, case " << &c - cases.data();
    }
    // A text whose characters all fold away (a soft hyphen) still asks for
    // a title or a description: a receipt with neither is not found.
    peer("insert into pj(类别,票据标题,说明,图片) values('office',NULL,NULL,'4.jpg')");
    const QString softHyphen(QChar(0xAD));
    const QStringList all{"1|ｶﾞｿﾘﾝ A4", "2|ガソリン", "3|Straße"};
    EXPECT_EQ(scanned("", softHyphen), all);
    EXPECT_EQ(toList(findReceipts(index, connection, "", softHyphen)), all);
}

TEST_F(ReceiptIndexTest, ZeroCharactersAreSearchedForBothWays)
{
    const QChar zero(0);
    addReceipt("办公", "a b", "", "1.jpg");
    peer("insert into pj(类别,票据标题,说明,图片) "
         "values(CAST(X'00e58a9ee585ac' AS TEXT),'t',CAST(X'610062' AS TEXT),'2.jpg')");
    struct Case
    {
        QString category, text;
        QStringList expected;
    };
    const std::vector<Case> cases{
        {QString("办公") + zero, "", {"1|a b", "2|t"}},
        {"", QString("a") + zero + "b", {"2|t"}},
        {zero, "", {}},
        {"", zero, {"2|t"}},
        {"办公", QString(zero) + "b", {"2|t"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scanned(c.category, c.text), c.expected) << "the statement, case " << &c - cases.data();
        EXPECT_EQ(indexed(c.category, c.text), c.expected) << "the copy, case " << &c - cases.data();
    }
}

// Another program holds the store locked past the busy wait while the copy
// is looked at: the reads fail, and the lines shown stay as they were found.
// The connection opened anew, here on another store: the copy is read again.
TEST_F(ReceiptIndexTest, ShownLinesOutliveALockAndTheCopyFollowsTheConnectionOpenedAnew)
{
    connection.execute("insert into pj(类别,票据标题,说明,图片) "
                       "values('办公','票据1','','1.jpg'),('办公','票据2','','2.jpg')");
    FoundReceipts shown = index.search("", "");
    index.setBeforeChange([&] { shown.keep(); });
    sqlite3_busy_timeout(connection.handle(), 20);
    Connection other;
    ASSERT_TRUE(vorndata::connect(other, path, schema::kStorePassword));
    other.execute("begin exclusive");
    EXPECT_TRUE(index.prepare(std::chrono::milliseconds(0))) << "a refused read ends the reading for now";
    EXPECT_THROW(index.search("", "票"), StoreError);
    other.execute("rollback");
    EXPECT_EQ(toList(shown), (QStringList{"1|票据1", "2|票据2"}));
    EXPECT_EQ(indexed("", "据2"), QStringList{"2|票据2"});

    const QString otherStore = folder.file("other.db");
    ASSERT_TRUE(vorndata::createDatabase(otherStore, schema::kStorePassword));
    other.close();
    other.open(otherStore, schema::kStorePassword);
    other.execute(schema::kCreateReceipts);
    other.execute("insert into pj(类别,票据标题,说明,图片) values('交通','新','','1.jpg')");
    connection.close();
    connection.open(otherStore, schema::kStorePassword);
    EXPECT_EQ(indexed("", ""), QStringList{"1|新"});
}

// Another program commits just as the copy reads this connection's own
// writes again: the search lists a state the store held, not a mix of two.
TEST_F(ReceiptIndexTest, OwnWritesAreReadAgainInTheReadThatChecksTheStore)
{
    connection.execute(
        "insert into pj(类别,票据标题,说明,图片) values('办公','a','','1.jpg'),('办公','b','','2.jpg')");
    indexed("", "");
    connection.execute("update pj set 票据标题 = 'a1' where ID = 1");
    struct Peer
    {
        Connection connection;
        bool wrote = false;
    } other;
    ASSERT_TRUE(vorndata::connect(other.connection, path, schema::kStorePassword));
    sqlite3_busy_timeout(other.connection.handle(), 0);
    const auto commitAtFirstReread = [](unsigned, void* context, void* statement, void*) {
        auto* peer = static_cast<Peer*>(context);
        if (!peer->wrote && std::strstr(sqlite3_sql(static_cast<sqlite3_stmt*>(statement)), "rowid = ?1")) {
            peer->wrote = true;
            peer->connection.execute("update pj set 票据标题 = 票据标题 || '2'");
        }
        return 0;
    };
    sqlite3_trace_v2(connection.handle(), SQLITE_TRACE_STMT, commitAtFirstReread, &other);
    const QStringList found = indexed("", "");
    sqlite3_trace_v2(connection.handle(), 0, nullptr, nullptr);
    ASSERT_TRUE(other.wrote);
    EXPECT_EQ(found, scanned("", "")) << "the copy mixed the store before and after the commit";
}

// Another program writes more often than the copy takes to read while idle:
// on a clock of the test's own (a slice run costs 100 ms, a write comes
// every 500 ms), the reads begun again wait longer each time, so the idle
// program stays idle; once the writes stop the copy completes, and the
// waits start from nothing again.
TEST_F(ReceiptIndexTest, IdleReadWaitsLongerEachTimeAnotherProgramsWritesMakeItBeginAgain)
{
    using namespace std::chrono_literals;
    for (int i = 0; i < 40; ++i)
        connection.execute("insert into pj(类别,票据标题,说明,图片) values('办公','票','','1.jpg')");
    Connection other;
    ASSERT_TRUE(vorndata::connect(other, path, schema::kStorePassword));
    std::chrono::milliseconds now = 0ms, busy = 0ms, written = 0ms;
    const auto sliceRun = [&] {
        now += 100ms;
        busy += 100ms;
        return index.prepare(0ms, 4);
    };
    while (now < 10min) {
        if (now - written >= 500ms) {
            other.execute("update pj set 说明 = 说明 || 'x' where ID = 1");
            written = now;
        }
        ASSERT_FALSE(sliceRun()) << "a read of 1.1 s completed between writes 0.5 s apart";
        now += index.idleWait();
    }
    EXPECT_LT(busy * 20, now) << "more than 5% of the time spent reading while idle";
    for (int runs = 0; !sliceRun();)
        ASSERT_LT(++runs, 100) << "the copy did not complete once the writes stopped";
    other.execute("update pj set 说明 = '' where ID = 1");
    EXPECT_FALSE(sliceRun());
    EXPECT_EQ(index.idleWait(), 0ms) << "the first read begun again after a complete one waits";
}
