#include "app/core/PictureFolderNumbers.h"
#include "app/core/PictureRules.h"
#include "tests/store/StoreFixture.h"
#include "tests/support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <optional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace qb;
using qb::test::TempFolder;

namespace {
QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

struct PictureFolder
{
    TempFolder root;
    QString folder = root.path() + QStringLiteral("image") + QDir::separator();
    PictureFolder() { QDir().mkpath(folder); }
    void take(const QString& name) const { root.write(QStringLiteral("image/") + name, "x"); }
};

bool isNumberedName(const QString& name)
{
    bool ok = false;
    const qint64 n = name.chopped(4).toLongLong(&ok);
    return ok && name.endsWith(".jpg") && numberedPictureName(n) == name;
}

// A small tmpfs over `folder` for as long as it lives: a disk that fills up
// or turns read-only for real. Mounting needs root.
struct TinyDisk
{
    QByteArray at;
    bool mounted = false;
    explicit TinyDisk(const QString& folder) : at(QFile::encodeName(folder))
    {
        mounted = ::mount("tmpfs", at.constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~TinyDisk()
    {
        if (mounted)
            ::umount2(at.constData(), MNT_DETACH);
    }
    bool remount(unsigned long flags) const
    {
        return ::mount("tmpfs", at.constData(), "tmpfs", MS_REMOUNT | flags, "size=64k") == 0;
    }
};

// Root passes every permission check; without these capabilities (on the
// calling thread only) it meets the modes of files and folders as anyone does.
void giveUpFileAccessOverride()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return;
    for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
        data[cap / 32].effective &= ~(1u << (cap % 32));
    ::syscall(SYS_capset, &header, data);
}
} // namespace

TEST(PictureNameTest, AtLeastFiveDigitsAndNoUpperLimit)
{
    EXPECT_EQ(numberedPictureName(1), "00001.jpg");
    EXPECT_EQ(numberedPictureName(42), "00042.jpg");
    EXPECT_EQ(numberedPictureName(99999), "99999.jpg");
    EXPECT_EQ(numberedPictureName(100000), "100000.jpg");
}

TEST(PictureNameTest, LowestFreeNumberIsHandedOutFirst)
{
    PictureFolder p;
    EXPECT_EQ(nextFreePictureName(p.folder), p.folder + "00001.jpg");
    for (const char* name : {"00001.jpg", "00002.jpg", "00004.jpg", "3.jpg", "000003.jpg", "00003.JPG"})
        p.take(QString::fromLatin1(name));
    EXPECT_EQ(nextFreePictureName(p.folder), p.folder + "00003.jpg")
        << "names that are not exactly numbered names do not take a number";
    p.take("00003.jpg");
    EXPECT_EQ(nextFreePictureName(p.folder), p.folder + "00005.jpg");
}

TEST(PictureNameTest, AfterAllFiveDigitNamesComesASixDigitOne)
{
    PictureFolder p;
    for (int n = 1; n <= 99999; ++n) {
        QFile f(p.folder + numberedPictureName(n));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(nextFreePictureName(p.folder), p.folder + "100000.jpg");
}

TEST(PictureImportTest, FolderBearingANumberedNameIsNotTakenButCannotReceiveACopy)
{
    PictureFolder p;
    ASSERT_TRUE(QDir().mkpath(p.folder + "00001.jpg"));
    EXPECT_EQ(nextFreePictureName(p.folder), p.folder + "00001.jpg");
    const QString source = p.root.write("photo.jpg", "jpeg bytes");
    EXPECT_EQ(importPicture(source, p.folder), "00002.jpg");
    EXPECT_EQ(contentOf(p.folder + "00002.jpg"), "jpeg bytes");
}

TEST(PictureImportTest, OutsideFilesAreCopiedUnchangedEachTimeUnderANewNumber)
{
    PictureFolder p;
    const QString source = p.root.write("scan.bmp", QByteArray("BM not really a bitmap\0\x01\x02", 25));
    QString copied;
    EXPECT_EQ(importPicture(source, p.folder, {}, &copied), "00001.jpg");
    EXPECT_EQ(copied, p.folder + "00001.jpg");
    EXPECT_EQ(importPicture(source, p.folder), "00002.jpg");
    EXPECT_EQ(contentOf(p.folder + "00002.jpg"), contentOf(source)) << "the bytes must be kept as they are";
    EXPECT_TRUE(QFile::exists(source)) << "the chosen file is never moved or removed";
    EXPECT_EQ(entries(p.folder), (QStringList{"00001.jpg", "00002.jpg"}));
}

// Only a file that lies directly in the picture folder is taken as it is;
// paths that merely contain the folder's path are other files.
TEST(PictureImportTest, OnlyFilesDirectlyInThePictureFolderAreTakenAsTheyAre)
{
    PictureFolder p;
    p.take("00012.jpg");
    p.take("X.JPG");
    QString copied = "stale";
    EXPECT_EQ(importPicture(p.folder + "00012.jpg", p.folder, {}, &copied), "00012.jpg");
    EXPECT_TRUE(copied.isEmpty());
    EXPECT_EQ(importPicture(p.folder + "." + QDir::separator() + "X.JPG", p.folder), "X.JPG");
    EXPECT_EQ(entries(p.folder), (QStringList{"00012.jpg", "X.JPG"})) << "nothing is copied";

    // A backup of the program folder elsewhere, and a subfolder: copied.
    const QString backup = p.root.write("backup/" + p.folder + "00001.jpg", "backup bytes");
    const QString old = p.root.write("image/old/a.jpg", "old bytes");
    EXPECT_EQ(importPicture(backup, p.folder), "00001.jpg");
    EXPECT_EQ(importPicture(old, p.folder), "00002.jpg");
    EXPECT_EQ(contentOf(p.folder + "00001.jpg"), "backup bytes");
    EXPECT_EQ(contentOf(p.folder + "00002.jpg"), "old bytes");

    // A typed name that is not there, and the folder itself: refused.
    for (const QString& chosen : {p.folder + "nothere.jpg", p.folder, p.folder.chopped(1)})
        EXPECT_THROW(importPicture(chosen, p.folder), PictureImportError) << chosen.toStdString();
    EXPECT_EQ(entries(p.folder).size(), 5) << entries(p.folder).join(' ').toStdString();
}

TEST(PictureImportTest, FailedCopyIsReportedWithTheFileNameAndLeavesNothingBehind)
{
    PictureFolder p;
    struct Case
    {
        const char* what;
        QString chosen;
        QString mustMention;
    };
    const QString missing = p.root.file("gone.jpg");
    const std::vector<Case> cases{
        {"missing source", missing, missing},
        {"empty field", QString(), QStringLiteral("图片")},
        {"a folder", p.root.path() + "photos", p.root.path() + "photos"},
    };
    QDir().mkpath(p.root.path() + "photos");
    for (const Case& c : cases) {
        try {
            importPicture(c.chosen, p.folder);
            ADD_FAILURE() << c.what << ": a failed copy must not count as imported";
        } catch (const PictureImportError& e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(c.mustMention)) << c.what << ": " << e.what();
        }
    }
    const QString source = p.root.write("ok.jpg", "bytes");
    ASSERT_TRUE(QDir(p.folder).removeRecursively());
    EXPECT_THROW(importPicture(source, p.folder), PictureImportError) << "the picture folder is gone";
    ASSERT_TRUE(QDir().mkpath(p.folder));
    EXPECT_TRUE(entries(p.folder).isEmpty()) << "no partial copy may stay";
}

// Two copies of the program importing into one folder at once: no import may
// land on a name that the other has just taken.
TEST(PictureImportTest, ImportsRunningAtOnceNeverReplaceEachOthersPictures)
{
    PictureFolder p;
    constexpr int kEach = 150;
    std::vector<QString> sources;
    for (int i = 0; i < 2 * kEach; ++i)
        sources.push_back(
            p.root.write(QStringLiteral("src/%1.jpg").arg(i), QByteArray::number(i).repeated(50)));
    std::vector<QString> names(sources.size());
    std::atomic<int> failures{0};
    auto importer = [&](int first) {
        for (int i = first; i < first + kEach; ++i) {
            try {
                names[size_t(i)] = importPicture(sources[size_t(i)], p.folder);
            } catch (const PictureImportError&) {
                ++failures;
            }
        }
    };
    std::thread a(importer, 0);
    std::thread b(importer, kEach);
    a.join();
    b.join();
    EXPECT_EQ(failures, 0);
    for (size_t i = 0; i < sources.size(); ++i)
        EXPECT_EQ(contentOf(p.folder + names[i]), contentOf(sources[i]))
            << "import " << i << " as " << names[i].toStdString();
    EXPECT_EQ(entries(p.folder).size(), sources.size());
}

// A number stays taken while a receipt names it, even when its file was lost
// outside the program: the next picture must not show for that receipt.
TEST(PictureNameTest, NumbersThatReceiptsNameStayTakenWithoutTheirFiles)
{
    PictureFolder p;
    p.take("00002.jpg");
    const QStringList named{"00001.jpg", "00003.jpg"};
    const PictureNamed isNamed = [&](std::string_view name) {
        return named.contains(QString::fromUtf8(name.data(), qsizetype(name.size())));
    };
    EXPECT_EQ(nextFreePictureName(p.folder, isNamed), p.folder + "00004.jpg");
    const QString source = p.root.write("scan.jpg", "scan bytes");
    EXPECT_EQ(importPicture(source, p.folder, isNamed), "00004.jpg");
    EXPECT_FALSE(QFile::exists(p.folder + "00001.jpg")) << "a lost picture is not filled in by another";
}

// The display reads a stored name trimmed: a file in the picture folder whose
// name has blanks or control characters around it would show as another
// file, so it is copied under a number like a file from elsewhere.
TEST(PictureImportTest, NameWithSurroundingBlanksInsideTheFolderIsCopiedUnderANumber)
{
    PictureFolder p;
    p.root.write("image/a.jpg", "the other picture");
    int number = 0;
    for (const QString& name : {QString(" a.jpg"), QString("a.jpg "), QString("\ta.jpg")}) {
        const QString chosen = p.root.write("image/" + name, name.toUtf8());
        const QString stored = importPicture(chosen, p.folder);
        EXPECT_EQ(stored, numberedPictureName(++number)) << "\"" << name.toStdString() << "\"";
        EXPECT_EQ(contentOf(p.folder + stored), name.toUtf8());
    }
    EXPECT_EQ(importPicture(p.folder + "a.jpg", p.folder), "a.jpg") << "a plain name is still taken as it is";
}

// The copy is written under a temporary name and then moved to its number.
// When either step fails for another reason than a taken name, no numbered
// file may stay (a receipt would be filed naming it) and the reason is told.
TEST(PictureImportTest, CopyOrMoveFailingForAnyReasonLeavesNoNumberedFileAndSaysWhy)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the full and read-only disks are mounted tmpfs, which needs root";
    struct Case
    {
        const char* what;
        int error;
        bool tinyDisk;
        qsizetype sourceBytes;
        // Runs between the copy and the move (from the search for a free name).
        std::function<void(const QString& folder, const TinyDisk* disk)> meanwhile;
    };
    const std::vector<Case> cases{
        {"picture folder removed meanwhile", ENOENT, false, 100,
         [](const QString& folder, const TinyDisk*) { QDir(folder).removeRecursively(); }},
        {"picture folder made read-only meanwhile", EACCES, false, 100,
         [](const QString& folder, const TinyDisk*) {
             ::chmod(QFile::encodeName(folder).constData(), 0555);
         }},
        {"disk turned read-only meanwhile", EROFS, true, 100,
         [](const QString&, const TinyDisk* disk) { ASSERT_TRUE(disk->remount(MS_RDONLY)); }},
        {"disk full during the copy", ENOSPC, true, 1 << 20, nullptr},
    };
    for (const Case& c : cases) {
        PictureFolder p;
        const QString source = p.root.write("scan.jpg", QByteArray(c.sourceBytes, 'x'));
        std::optional<TinyDisk> disk;
        if (c.tinyDisk) {
            disk.emplace(p.folder);
            ASSERT_TRUE(disk->mounted) << c.what << ": " << std::strerror(errno);
        }
        bool done = false;
        const PictureNamed hook = [&](std::string_view) {
            if (!done && c.meanwhile)
                c.meanwhile(p.folder, disk ? &*disk : nullptr);
            done = true;
            return false;
        };
        QString message;
        std::thread importer([&] {
            giveUpFileAccessOverride();
            try {
                importPicture(source, p.folder, hook);
            } catch (const PictureImportError& e) {
                message = QString::fromUtf8(e.what());
            }
        });
        importer.join();
        EXPECT_TRUE(message.contains(QString::fromLocal8Bit(std::strerror(c.error))) &&
                    message.contains(source))
            << c.what << ": " << message.toStdString();
        ::chmod(QFile::encodeName(p.folder).constData(), 0755);
        if (disk)
            disk->remount(0);
        for (const QString& name : entries(p.folder))
            EXPECT_FALSE(isNumberedName(name)) << c.what << ": " << name.toStdString() << " names no picture";
    }
}

// The deleted receipt's own row is gone before the rule runs; `others` are
// the pictures the receipts that stay name.
using PictureDeleteTest = qb::test::StoreFixture;
TEST_F(PictureDeleteTest, RemovesTheDeletedReceiptsPictureOnlyWhenNoOtherReceiptNamesIt)
{
    struct Case
    {
        QString stored;
        QStringList others;
        bool removed;
    };
    const Case cases[] = {
        {"00001.jpg", {}, true},
        {"00001.jpg", {"00002.jpg"}, true},
        {"00001.jpg", {"00001.jpg"}, false},
        {"00001.jpg", {" 00001.jpg\t"}, false},     // read back trimmed, as the display reads it
        {"00001.jpg", {"00001.JPG"}, true},         // names are file names: letter case counts
        {"00001.jpg", {"sub/../00001.jpg"}, false}, // the display reaches 00001.jpg through the folder part
        {"it's.jpg", {}, true},
        {"it's.jpg", {"it's.jpg"}, false},
        {"00003.jpg", {}, false}, // the file is lost already
        {"", {}, false},
        {"sub/00001.jpg", {}, false}, // a folder part points elsewhere
        {"../outside.jpg", {}, false},
        {"folder.jpg", {}, false}, // a folder, not a picture
    };
    PictureFolder p;
    for (const Case& c : cases) {
        connection.execute(QStringLiteral("delete from pj"));
        for (const QString& name : c.others)
            addReceipt("c", "t", "", name);
        for (const char* name : {"00001.jpg", "00002.jpg", "it's.jpg", "sub/00001.jpg"})
            p.take(QString::fromUtf8(name));
        p.root.write("outside.jpg", "x");
        QDir().mkpath(p.folder + "folder.jpg");
        const QStringList before = entries(p.folder);

        EXPECT_EQ(removeUnnamedPicture(c.stored, p.folder, namedInStore(connection, p.folder)), c.removed)
            << c.stored.toStdString() << " beside " << c.others.join(',').toStdString();
        QStringList expected = before;
        if (c.removed)
            expected.removeOne(c.stored);
        EXPECT_EQ(entries(p.folder), expected) << c.stored.toStdString();
        EXPECT_TRUE(QFile::exists(p.root.path() + "outside.jpg"));
        EXPECT_TRUE(QFile::exists(p.folder + "sub/00001.jpg"));
    }
}

namespace {
// The kept numbers against a fresh listing, through random changes that
// another program makes to the folder between filings: files, folders and
// links under numbered names, removals, renames over other names, and the
// folder itself moved away and back or replaced.
TEST(PictureFolderNumbersTest, KeptNumbersAlwaysEqualAFreshListing)
{
    PictureFolder p;
    const QByteArray folder = QFile::encodeName(p.folder);
    const QByteArray aside = QFile::encodeName(p.root.path() + "aside");
    const QByteArray target = QFile::encodeName(p.root.path() + "target");
    ::mkdir(target.constData(), 0755);
    const auto path = [&](int n) { return folder + numberedPictureName(n).toUtf8(); };
    PictureFolderNumbers kept(p.folder);
    std::srand(19);
    int replaced = 0;
    for (int step = 0; step < 3000; ++step) {
        const int n = 1 + std::rand() % 12;
        const int m = 1 + std::rand() % 12;
        switch (std::rand() % 12) {
        case 0:
        case 1:
            ::close(::open(path(n).constData(), O_WRONLY | O_CREAT, 0644));
            break;
        case 2:
            ::mkdir(path(n).constData(), 0755);
            break;
        case 3:
            (void)::symlink(std::rand() % 2 ? target.constData() : "nowhere", path(n).constData());
            break;
        case 4:
        case 5:
            if (::unlink(path(n).constData()) != 0)
                ::rmdir(path(n).constData());
            break;
        case 6:
            ::rename(path(n).constData(), path(m).constData());
            break;
        case 7:
            ::close(::open((folder + "note.txt").constData(), O_WRONLY | O_CREAT, 0644));
            break;
        case 8:
            if (std::rand() % 20 == 0) {
                // Away and back: the same folder under its name again.
                ::rename(folder.constData(), aside.constData());
                ::rename(aside.constData(), folder.constData());
            }
            break;
        case 9:
            if (std::rand() % 40 == 0) {
                // Another folder takes the name; the old one is kept aside.
                ++replaced;
                const QByteArray old = aside + QByteArray::number(replaced);
                ::rename(folder.constData(), old.constData());
                ::mkdir(folder.constData(), 0755);
                ::close(::open(path(1 + std::rand() % 12).constData(), O_WRONLY | O_CREAT, 0644));
            }
            break;
        case 10: // the name pointed at another folder (ln -sfn): the watched one sends no notice
            if (std::rand() % 40 == 0) {
                const QByteArray other = aside + QByteArray::number(++replaced), link = other + "-link";
                ::mkdir(other.constData(), 0755);
                (void)::symlink(other.constData(), link.constData());
                if (::rename(link.constData(), folder.chopped(1).constData()) != 0 &&
                    ::rename(folder.constData(), (other + "-was").constData()) == 0)
                    ::rename(link.constData(), folder.chopped(1).constData());
            }
            break;
        default:
            break;
        }
        if (std::rand() % 3 == 0)
            continue; // several changes between two filings
        ASSERT_TRUE(kept.current() == FolderNumbers::list(p.folder)) << "after step " << step;
    }
    // Listed again only when the folder itself moved: the notices carried the rest.
    if (platform::kFolderWatch) {
        EXPECT_LT(kept.listings(), 60);
    }
}

// More notices than the system keeps: the folder is listed anew.
TEST(PictureFolderNumbersTest, TooManyChangesListTheFolderAgain)
{
    PictureFolder p;
    PictureFolderNumbers kept(p.folder);
    EXPECT_EQ(nextFreePictureName(p.folder, {}, &kept), p.folder + "00001.jpg");
    int most = 16384;
    if (QFile limit("/proc/sys/fs/inotify/max_queued_events"); limit.open(QIODevice::ReadOnly))
        most = limit.readAll().trimmed().toInt();
    if (most > 100000)
        GTEST_SKIP() << "the system keeps " << most << " notices";
    const QByteArray folder = QFile::encodeName(p.folder);
    for (int n = 1; n <= most + 10; ++n)
        ::close(::open((folder + numberedPictureName(n).toUtf8()).constData(), O_WRONLY | O_CREAT, 0644));
    EXPECT_EQ(nextFreePictureName(p.folder, {}, &kept), p.folder + numberedPictureName(most + 11));
    EXPECT_EQ(kept.listings(), 2);
}
} // namespace
