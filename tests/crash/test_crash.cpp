// Kills the program with SIGKILL at random moments while it files and deletes
// receipts, and checks after each kill that nothing the user filed is lost or
// half-written: the store is sound, every receipt's picture is there with the
// bytes of the file it was filed from, no numbered picture is partial, and the
// next start leaves no temporary file behind. Also kills a start while it
// converts a store of the Jet (Access) format.

#include "app/Form_main.h"
#include "app/core/JetConversion.h"
#include "app/core/PictureRules.h"
#include "app/core/StoreBootstrap.h"
#include "store/Connection.h"
#include "store/RecordSet.h"
#include "store/vorndata.h"
#include "tests/support/JetWriter.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Widgets.h"
#include "util/FailureReport.h"
#include "util/ProgramFolder.h"
#include "util/Trim.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>

using namespace qb;
using namespace qb::test;

namespace {

constexpr int kSources = 10;

QString sourcePath(const QString& sources, int i)
{
    return sources + QStringLiteral("source-%1.jpg").arg(i);
}

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool isTemporary(const QString& name)
{
    return name.startsWith(kPictureTemporaryPrefix) || name.startsWith(kStoreTemporaryPrefix);
}

QStringList temporariesIn(const QString& folder)
{
    QStringList found;
    for (const QString& dir : {folder, folder + QStringLiteral("image/")})
        for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System))
            if (isTemporary(name))
                found.append(name);
    return found;
}

} // namespace

// The program at work: files receipts from the sources and deletes some, as
// a user of the entry page would, until it is killed. Runs only as the child
// of the test below.
TEST(CrashChild, FileAndDeleteUntilKilled)
{
    const QString folder = qEnvironmentVariable("QB_CRASH_FOLDER");
    const QString sources = qEnvironmentVariable("QB_CRASH_SOURCES");
    if (folder.isEmpty())
        GTEST_SKIP() << "runs only as the child of the crash test";
    RecordingDialogs dialogs;
    FailureReport report(dialogs, QStringLiteral("crash"));
    Form_main window(folder, dialogs, report);
    window.show();
    auto button = [&](const char* name) { return child<QAbstractButton>(window, name); };
    button("BitBtn2")->click();
    std::printf("ready\n");
    std::fflush(stdout);
    QRandomGenerator random(quint32(QCoreApplication::applicationPid()));
    for (int step = 0; step < 100'000; ++step) {
        const int rows = window.ADOQuery1().recordCount();
        if (rows == 0 || random.bounded(100) < 65) {
            const int source = int(random.bounded(kSources));
            child<QComboBox>(window, "ComboBox1")->setEditText(QStringLiteral("类别%1").arg(source % 3));
            child<QLineEdit>(window, "Edit1")->setText(QString::number(source));
            child<QLineEdit>(window, "Edit2")->setText(QStringLiteral("说明"));
            child<QLineEdit>(window, "Edit3")->setText(sourcePath(sources, source));
            button("Button2")->click();
        } else {
            window.ADOQuery1().moveTo(int(random.bounded(rows)));
            button("Button4")->click();
        }
        QCoreApplication::processEvents();
        if (!dialogs.failures.isEmpty()) {
            std::printf("failure: %s\n", qPrintable(dialogs.failures.constFirst()));
            std::fflush(stdout);
            return;
        }
    }
}

TEST(CrashTest, KillsWhileFilingAndDeletingLoseNothing)
{
    TempFolder sourcesFolder;
    TempFolder programFolder;
    const QString sources = sourcesFolder.path();
    const QString folder = programFolder.path();
    QRandomGenerator random(20261209);
    std::map<QString, int> sourceOfContent;
    QByteArray picture; // one the program can show (it files no other), padded past its end
    QBuffer buffer(&picture);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) &&
                QImage(8, 8, QImage::Format_RGB32).save(&buffer, "JPEG"));
    for (int i = 0; i < kSources; ++i) {
        // Sizes up to a few megabytes, so that kills land inside copies too.
        QByteArray bytes(int(64 * 1024 + random.bounded(3 * 1024 * 1024)), Qt::Uninitialized);
        for (auto& b : bytes)
            b = char(random.bounded(256));
        bytes.prepend(QByteArray::number(i) + ':');
        sourcesFolder.write(QStringLiteral("source-%1.jpg").arg(i), picture + bytes);
        sourceOfContent[QString::fromLatin1(bytes.left(12).toHex())] = i;
    }

    constexpr int kTrials = 60;
    int receiptsChecked = 0;
    int orphans = 0;
    int temporariesRemoved = 0;
    int killsInStartUp = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QB_CRASH_FOLDER", folder);
        env.insert("QB_CRASH_SOURCES", sources);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(env);
        child.start(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath(),
                    {"--gtest_filter=CrashChild.FileAndDeleteUntilKilled"});
        ASSERT_TRUE(child.waitForStarted());
        // One kill in five lands during start-up, the others while it works.
        if (trial % 5 == 0) {
            QThread::usleep(random.bounded(1'000, 150'000));
            ++killsInStartUp;
        } else {
            ASSERT_TRUE(child.waitForReadyRead(30'000)) << "trial " << trial << ": the child never got ready";
            QThread::usleep(random.bounded(1'000, 600'000));
        }
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished();
        const QString said = QString::fromLocal8Bit(child.readAllStandardOutput());
        ASSERT_FALSE(said.contains("failure:")) << "trial " << trial << ": " << said.toStdString();

        if (QFileInfo(folder + "pj.db").isFile()) {
            Connection connection;
            ASSERT_TRUE(vorndata::connect(connection, folder + "pj.db", schema::kStorePassword))
                << "trial " << trial;
            RecordSet check;
            check.setConnection(&connection);
            check.addSql("PRAGMA integrity_check");
            check.open();
            ASSERT_EQ(check.fieldAsText("integrity_check"), "ok") << "trial " << trial;

            RecordSet receipts;
            receipts.setConnection(&connection);
            ASSERT_TRUE(vorndata::openTable(receipts, "pj")) << "trial " << trial;
            QSet<QString> named;
            for (receipts.first(); !receipts.eof(); receipts.next()) {
                const QString picture = trimmed(receipts.fieldAsText("图片"));
                const int source = receipts.fieldAsText("票据标题").toInt();
                named.insert(picture);
                ASSERT_EQ(contentOf(folder + "image/" + picture), contentOf(sourcePath(sources, source)))
                    << "trial " << trial << ": receipt " << receipts.fieldAsText("ID").toStdString()
                    << " names " << picture.toStdString() << ", which is missing or not its source's bytes";
                ++receiptsChecked;
            }
            for (const QString& name : QDir(folder + "image").entryList(QDir::Files)) {
                const QByteArray bytes = contentOf(folder + "image/" + name);
                const auto source =
                    sourceOfContent.find(QString::fromLatin1(bytes.mid(picture.size(), 12).toHex()));
                ASSERT_TRUE(source != sourceOfContent.end() &&
                            bytes == contentOf(sourcePath(sources, source->second)))
                    << "trial " << trial << ": " << name.toStdString() << " is a partial picture";
                // Pictures that no receipt names (a kill between the copy and
                // the receipt, or between a deletion and its picture's removal)
                // waste space but lose nothing.
                if (trial == kTrials - 1 && !named.contains(name))
                    ++orphans;
            }
        }

        // The next start sweeps up what the killed one left.
        const int before = int(temporariesIn(folder).size());
        {
            RecordingDialogs dialogs;
            FailureReport report(dialogs, QStringLiteral("crash"));
            Form_main window(folder, dialogs, report);
            ASSERT_TRUE(window.ADOQuery1().active())
                << "trial " << trial << ": the next start cannot open the store";
        }
        ASSERT_TRUE(temporariesIn(folder).isEmpty())
            << "trial " << trial << ": " << temporariesIn(folder).join(' ').toStdString();
        temporariesRemoved += before;
    }
    std::printf(
        "crash test: %d kills (%d during start-up), %d receipts checked, %d orphan pictures at the end, "
        "%d temporary files removed by the next start\n",
        kTrials, killsInStartUp, receiptsChecked, orphans, temporariesRemoved);
}

// Converts the Jet store in the folder, as the program's start does, until
// it is killed. Runs only as the child of the test below.
TEST(CrashChild, ConvertJetStore)
{
    const QString folder = qEnvironmentVariable("QB_CRASH_JET_FOLDER");
    if (folder.isEmpty())
        GTEST_SKIP() << "runs only as the child of the crash test";
    std::printf("ready\n");
    std::fflush(stdout);
    convertJetStore(folder, programFolder().value_or(QString()) + kJetConverterName,
                    [](long long, long long) {});
}

// Kills a start at random moments while it converts a store of the Jet
// format: every kill leaves either the Jet file as pj.db, or the whole
// converted store with the Jet file kept beside it; never neither, and the
// next start finishes the work and sweeps up what was left.
TEST(CrashTest, KillsWhileConvertingLeaveEitherStore)
{
    TempFolder programFolder;
    const QString folder = programFolder.path();
#if defined(__SANITIZE_ADDRESS__)
    // There each converter start alone takes seconds.
    constexpr int kReceipts = 2'000;
    constexpr int kTrials = 5;
    constexpr int kLongestWaitUs = 4'000'000;
#else
    constexpr int kReceipts = 20'000;
    constexpr int kTrials = 20;
    constexpr int kLongestWaitUs = 1'000'000;
#endif
    std::vector<JetRow> rows;
    for (int id = 1; id <= kReceipts; ++id)
        rows.push_back(
            {{id, QStringLiteral("类别"), QStringLiteral("标题%1").arg(id),
              QStringLiteral("说明").repeated(id % 50 == 0 ? 1500 : 20), QStringLiteral("p.jpg")}});
    const QByteArray jet =
        writeJet4({jetCategories({}), jetReceipts(std::move(rows))}, schema::kStorePassword);

    QRandomGenerator random(20261210);
    int killedWhileJet = 0;
    int killedAfter = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(folder + name);
        programFolder.write(schema::kStoreFileName, jet);

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QB_CRASH_JET_FOLDER", folder);
        child.setProcessEnvironment(env);
        child.start(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath(),
                    {"--gtest_filter=CrashChild.ConvertJetStore"});
        ASSERT_TRUE(child.waitForReadyRead(30'000)) << "trial " << trial << ": the child never got ready";
        // Kills land all through the conversion, a few after it.
        QThread::usleep(random.bounded(1'000, kLongestWaitUs));
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished();

        const bool stillJet = contentOf(folder + "pj.db") == jet;
        if (stillJet) {
            ++killedWhileJet;
        } else {
            ++killedAfter;
            ASSERT_EQ(contentOf(folder + kKeptJetName), jet) << "trial " << trial << ": the Jet file is gone";
            Connection connection;
            ASSERT_TRUE(vorndata::connect(connection, folder + "pj.db", schema::kStorePassword))
                << "trial " << trial;
            RecordSet receipts;
            receipts.setConnection(&connection);
            ASSERT_TRUE(vorndata::openTable(receipts, "pj")) << "trial " << trial;
            ASSERT_EQ(receipts.recordCount(), kReceipts) << "trial " << trial << ": the store is not whole";
        }

        // The next start converts what is still to convert and removes what
        // the killed one left.
        const JetConversion next = convertJetStore(
            folder, qb::programFolder().value_or(QString()) + kJetConverterName, [](long long, long long) {});
        ASSERT_EQ(next.outcome, stillJet ? JetConversion::Converted : JetConversion::NotJet)
            << "trial " << trial;
        removeLeftoverFiles(folder);
        ASSERT_EQ(contentOf(folder + kKeptJetName), jet) << "trial " << trial;
        ASSERT_TRUE(temporariesIn(folder).isEmpty())
            << "trial " << trial << ": " << temporariesIn(folder).join(' ').toStdString();
    }
    std::printf(
        "crash test: %d kills during a conversion, %d with the Jet file still in place, %d after it\n",
        kTrials, killedWhileJet, killedAfter);
}
