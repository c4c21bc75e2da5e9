#include "app/export/ExportNames.h"
#include "app/export/ReceiptExport.h"
#include "store/Statement.h"
#include "tests/store/StoreFixture.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif

using namespace qb;
using namespace qb::test;

namespace {

// What a program prints for `arguments`; the test is skipped when it is missing.
QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        ADD_FAILURE() << program.toStdString() << " failed: " << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The table read back by Python's csv module, as rows of fields.
std::vector<QStringList> readCsv(const QString& path)
{
    const QString json = run("python3", {"-c",
                                         "import csv, json, sys\n"
                                         "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                                         "    print(json.dumps(list(csv.reader(f, strict=True))))",
                                         path});
    std::vector<QStringList> rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(json.toUtf8()).array()) {
        QStringList fields;
        for (const QJsonValue& field : row.toArray())
            fields.append(field.toString());
        rows.push_back(fields);
    }
    return rows;
}

int pdfImages(const QString& pdf)
{
    // Two lines of heading, then one line per image.
    return int(run("pdfimages", {"-list", pdf}).trimmed().split(u'\n').size()) - 2;
}

bool havePopplerAndPython()
{
    return !QStandardPaths::findExecutable("pdftotext").isEmpty() &&
           !QStandardPaths::findExecutable("pdfimages").isEmpty() &&
           !QStandardPaths::findExecutable("python3").isEmpty();
}

class ExportTest : public StoreFixture
{
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        QDir().mkpath(pictures());
        QDir().mkpath(target());
    }
    QString pictures() { return folder.file("image/"); }
    QString target() { return folder.file("out/"); }
    // A picture file in the picture folder, its bytes given back.
    QByteArray picture(const QString& name, const char* format, QColor colour = Qt::red)
    {
        QImage image(320, 200, QImage::Format_RGB32);
        image.fill(colour);
        image.save(pictures() + name, format);
        QFile file(pictures() + name);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }
    // A receipt whose texts are the bytes given, as another program may have written them.
    void addRaw(const QByteArray& category, const QByteArray& title, const QByteArray& text,
                const QString& pic)
    {
        Statement insert(connection.handle(),
                         "insert into pj(类别, 票据标题, 说明, 图片) values (?1, ?2, ?3, ?4)");
        insert.bind(1, category);
        insert.bind(2, title);
        insert.bind(3, text);
        insert.bind(4, pic);
        insert.step();
    }
    ExportSource source(QStringList numbers) { return {&connection, pictures(), std::move(numbers)}; }
    QStringList leftInTarget()
    {
        return QDir(target()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

} // namespace

TEST(ExportNamesTest, HostileNamesBecomeFileNamesEverySystemTakesAndNeverTwice)
{
    const QString chinese50 = QString(50, QChar(0x7968));
    const QString bases[] = {"1_<a>:\"b\"/c\\d|e?f*g",
                             QString::fromUtf8("2_nul\0x\x01\x1f\x7f", 10),
                             "3_trailing. . ",
                             "4_" + chinese50,
                             "5_" + chinese50 + chinese50,
                             "6_" + QString(300, u'a'),
                             QString("7_") + QChar(0xD800) + "x",
                             "",
                             "8_\U0001F600" + QString(200, QChar(0x4E00))};
    UniqueNames names;
    QSet<QString> given;
    TempFolder out;
    for (const QString& base : bases) {
        const QString name = names.take(base, "jpg");
        EXPECT_LE(name.toUtf8().size(), kMaxExportNameBytes) << name.toStdString();
        EXPECT_TRUE(name.endsWith(".jpg")) << name.toStdString();
        for (const QChar c : name)
            EXPECT_FALSE(QStringView(u"<>:\"/\\|?*").contains(c) || c.unicode() < 0x20) << name.toStdString();
        EXPECT_FALSE(name.chopped(4).endsWith(u'.') || name.chopped(4).endsWith(u' ')) << name.toStdString();
        EXPECT_TRUE(QFile(out.write(name, "x")).exists()) << "the system takes " << name.toStdString();
        given.insert(name);
    }
    EXPECT_EQ(names.take("4_" + chinese50, "jpg"), "4_" + chinese50 + "~2.jpg")
        << "50 characters of Chinese fit whole";
    // Names that differ only in what was replaced, or in letter case, still get names of their own.
    EXPECT_EQ(names.take("9_a:b", "jpg"), "9_a_b.jpg");
    EXPECT_EQ(names.take("9_a?b", "jpg"), "9_a_b~2.jpg");
    EXPECT_EQ(names.take("9_A|B", "JPG"), "9_A_B~3.JPG");
    const QString longer = names.take("6_" + QString(300, u'a'), "jpg");
    EXPECT_TRUE(longer.endsWith("~2.jpg") && longer.toUtf8().size() <= kMaxExportNameBytes)
        << longer.toStdString();

    EXPECT_EQ(exportFolderName(" 办公 ", "a/b", QDate(2026, 12, 10)), "票据导出 2026-12-10 办公 a_b");
    EXPECT_EQ(exportFolderName("", "", QDate(2026, 12, 10)), "票据导出 2026-12-10");
    EXPECT_EQ(trueExtension("BM\x36\0\0\0", "00009.jpg"), "bmp");
    EXPECT_EQ(trueExtension("not a picture", "00009.JPG"), "jpg");
}

TEST_F(ExportTest, HostileTextsSurviveInTheTablePicturesAndPdf)
{
    if (!havePopplerAndPython())
        GTEST_SKIP() << "pdftotext, pdfimages or python3 missing";
    const QByteArray jpeg = picture("00001.jpg", "JPEG");
    const QByteArray bmp = picture("00002.jpg", "BMP", Qt::blue);
    QFile garbage(pictures() + "00004.jpg");
    garbage.open(QIODevice::WriteOnly);
    garbage.write("\xFF\xD8 cut short");
    garbage.close();
    addReceipt("办公", "打印纸, \"A4\"", "两箱,\n含运费 \"顺丰\"\r\n发票号 0123  ", "00001.jpg ");
    addReceipt("  交通", "出租: 机场/回程?", QString::fromUtf8("夜间\0加价", 13), "00002.jpg");
    addReceipt("办公", QString(50, QChar(0x7968)), "", "00003.jpg");
    addReceipt("杂项", "坏图", "", "00004.jpg");
    addRaw("\xB0\xEC\xB9\xAB", "GBK \xB2\xE2\xCA\xD4", "\xFF\xFE", "");

    const ExportOutcome outcome =
        exportReceipts(source({"1", "2", "3", "4", "5", "99"}), target(), "票据导出 测试", {});
    ASSERT_EQ(outcome.folder, target() + "票据导出 测试");
    EXPECT_EQ(outcome.exported, 5);
    EXPECT_EQ(outcome.gone, 1) << "receipt 99 does not exist";
    EXPECT_EQ(leftInTarget(), QStringList{"票据导出 测试"}) << "no temporary folder stays";

    const QString title3 = QString(50, QChar(0x7968));
    const QString replaced = QString::fromUtf8("\xFF\xFE");
    const std::vector<QStringList> expected{
        {"编号", "类别", "票据标题", "说明", "图片文件"},
        {"1", "办公", "打印纸, \"A4\"", "两箱,\n含运费 \"顺丰\"\r\n发票号 0123", "1_办公_打印纸, _A4_.jpg"},
        {"2", "交通", "出租: 机场/回程?", QString("夜间\uFFFD加价"), "2_交通_出租_ 机场_回程_.bmp"},
        {"3", "办公", title3, "", "（图片丢失）"},
        {"4", "杂项", "坏图", "", "4_杂项_坏图.jpg（图片无法显示）"},
        {"5", QString::fromUtf8("\xB0\xEC\xB9\xAB"), QString::fromUtf8("GBK \xB2\xE2\xCA\xD4"), replaced,
         "（图片丢失）"},
    };
    const std::vector<QStringList> rows = readCsv(outcome.folder + "/票据.csv");
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i], expected[i]) << "row " << i;

    const auto bytesOf = [&](const QString& name) {
        QFile file(outcome.folder + "/" + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    };
    EXPECT_EQ(bytesOf("1_办公_打印纸, _A4_.jpg"), jpeg) << "copied byte for byte";
    EXPECT_EQ(bytesOf("2_交通_出租_ 机场_回程_.bmp"), bmp) << "named by its content";

    const QString pdf = outcome.folder + "/票据.pdf";
    const QStringList pages = run("pdftotext", {"-layout", pdf, "-"}).split(u'\f', Qt::SkipEmptyParts);
    ASSERT_GE(pages.size(), 5);
    EXPECT_TRUE(pages[0].contains("打印纸, \"A4\"") && pages[0].contains("发票号 0123"))
        << pages[0].toStdString();
    EXPECT_TRUE(pages[1].contains("夜间") && pages[1].contains("加价")) << pages[1].toStdString();
    EXPECT_TRUE(pages[2].contains("图片丢失")) << pages[2].toStdString();
    EXPECT_TRUE(pages[3].contains("图片无法显示")) << pages[3].toStdString();
    EXPECT_EQ(pdfImages(pdf), 2) << "one picture on each page whose picture decodes";

    // Printing paints the same pages.
    const QString printed = folder.file("printed.pdf");
    {
        QPdfWriter writer(printed);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF());
        EXPECT_EQ(printReceipts(source({"1", "2", "3", "4", "5"}), writer, {}), 5);
    }
    EXPECT_EQ(run("pdftotext", {"-layout", printed, "-"}), run("pdftotext", {"-layout", pdf, "-"}));
}

TEST_F(ExportTest, CancelOrFullDiskLeaveNothingBehind)
{
    picture("00001.jpg", "JPEG");
    for (int i = 0; i < 3; ++i)
        addReceipt("办公", "午餐", "", "00001.jpg");
    const ExportOutcome cancelled =
        exportReceipts(source({"1", "2", "3"}), target(), "x", [](int done, int) { return done < 2; });
    EXPECT_TRUE(cancelled.folder.isEmpty());
    EXPECT_TRUE(leftInTarget().isEmpty()) << leftInTarget().join(", ").toStdString();

#ifdef Q_OS_LINUX
    if (::mount("tmpfs", QFile::encodeName(target()).constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "no tmpfs may be mounted here";
    // More than the disk holds.
    QFile big(pictures() + "big.jpg");
    big.open(QIODevice::WriteOnly);
    big.write(QByteArray("\xFF\xD8") + QByteArray(700 * 1024, 'x'));
    big.close();
    addReceipt("办公", "大图", "", "big.jpg");
    addReceipt("办公", "大图", "", "big.jpg");
    QString message;
    try {
        exportReceipts(source({"4", "5"}), target(), "x", {});
    } catch (const ExportError& e) {
        message = e.message();
    }
    const QStringList left = leftInTarget();
    ::umount(QFile::encodeName(target()).constData());
    EXPECT_TRUE(message.startsWith("磁盘空间不足")) << message.toStdString();
    EXPECT_TRUE(left.isEmpty()) << left.join(", ").toStdString();
#endif
}
