// Starts the program as the system starts it, under conditions a start meets
// in the field: this test executable is copied into a prepared folder and run
// from there, so that the program finds its folder from its own path exactly
// as the real one does. The child runs the program's start-up, answers the
// login with the initial password as a user would, and reports what it saw.

#include "app/Application.h"
#include "app/core/JetConversion.h"
#include "store/Connection.h"
#include "store/RecordSet.h"
#include "store/Schema.h"
#include "store/vorndata.h"
#include "tests/picture/PictureFiles.h"
#include "tests/support/JetWriter.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Widgets.h"
#include "util/FailureReport.h"
#include "util/ProgramFolder.h"
#include "util/platform/Platform.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace qb;
using namespace qb::test;
namespace fs = std::filesystem;

namespace {

const QString kInitialPassword = QStringLiteral("583920");
const QString kUnreadable = QStringLiteral("info: 无法读取保存的密码（%1），不能登录。");

// Without privileges the child meets file permissions as a user does, also
// when the tests run as root.
void dropPrivileges()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    ASSERT_EQ(syscall(SYS_capset, &header, data), 0);
}

} // namespace

// The program's start-up from the executable's own path, with a user who
// types the initial password whenever the login asks. Runs only as the child
// of the tests below.
TEST(StartUpChild, Run)
{
    if (qEnvironmentVariableIsEmpty("QB_STARTUP_CHILD"))
        GTEST_SKIP() << "runs only as the child of the start-up tests";
    dropPrivileges();
    RecordingDialogs dialogs;
    FailureReport report(dialogs, QStringLiteral("startup"));
    QTimer user;
    bool progressShown = false;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->inherits("QProgressDialog") && !std::exchange(progressShown, true))
            std::printf("progress window\n");
        if (modal && modal->objectName() == QLatin1String("Form_mm")) {
            child<QLineEdit>(*modal, "MaskEdit1")->setText(kInitialPassword);
            child<QPushButton>(*modal, "BitBtn1")->click();
            return;
        }
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == QLatin1String("Form_main") && window->isVisible()) {
                std::printf("logged in\n");
                window->close();
            }
    });
    user.start(10);
    const int code = runProgram(executablePath(), dialogs, report);
    for (const QString& line : dialogs.shown)
        std::printf("%s\n", line.toUtf8().constData());
    // A metafile in the picture folder is drawn by the converter beside the program.
    const QString metafile = programFolder().value_or(QString()) + QStringLiteral("image/p.emf");
    if (QFile::exists(metafile)) {
        try {
            const QImage drawn = loadPicture(metafile);
            std::printf("metafile %dx%d\n", drawn.width(), drawn.height());
        } catch (const std::exception& e) {
            std::printf("metafile: %s\n", e.what());
        }
    }
    std::printf("exit %d\n", code);
    std::fflush(stdout);
}

namespace {

// A folder under a name of raw bytes, with a copy of this executable in it.
class ProgramCopy
{
public:
    explicit ProgramCopy(const QByteArray& name)
        : m_base(QFile::encodeName(m_temp.path()).toStdString()),
          m_folder(m_base / std::string(name.constData(), size_t(name.size())))
    {
        fs::create_directory(m_folder);
        fs::copy_file(executablePath().toStdString(), m_folder / "program");
        // The child is started through this process's handle on the folder,
        // since the folder's name need not survive a QString; the system
        // still gives the child its real path.
        m_handle = ::open(m_folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    ~ProgramCopy()
    {
        ::close(m_handle);
        // By bytes: the temporary folder's own removal goes through QStrings,
        // which lose the name. A read-only row's folder is made writable first.
        fs::permissions(m_folder, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(m_folder);
    }
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;

    const fs::path& folder() const { return m_folder; }
    const fs::path& base() const { return m_base; }
    // The folder as a path a QString carries whole.
    QString reachable() const
    {
        return QStringLiteral("/proc/%1/fd/%2/").arg(QString::number(::getpid()), QString::number(m_handle));
    }

    // Starts the program; the child's working folder is the one above the
    // program's, where a store in the wrong place would show.
    void start(QProcess& child) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QB_STARTUP_CHILD"), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.setWorkingDirectory(m_temp.path());
        child.start(reachable() + QStringLiteral("program"),
                    {QStringLiteral("--gtest_filter=StartUpChild.Run")});
    }

private:
    TempFolder m_temp;
    fs::path m_base;
    fs::path m_folder;
    int m_handle = -1;
};

struct Outcome
{
    bool loggedIn = false;
    // What the program showed, in order, as RecordingDialogs records it.
    QStringList shown;
};

Outcome finish(QProcess& child)
{
    Outcome outcome;
    if (child.state() != QProcess::NotRunning && !child.waitForFinished(60'000)) {
        child.kill();
        child.waitForFinished();
        outcome.shown.append(QStringLiteral("<the program hung>"));
        return outcome;
    }
    const QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split(u'\n');
    const qsizetype first = lines.indexOf(QStringLiteral("[ RUN      ] StartUpChild.Run")) + 1;
    const qsizetype last = lines.indexOf(QStringLiteral("exit 0"));
    if (first <= 0 || last < 0) {
        outcome.shown.append(QStringLiteral("<the program failed>") + lines.join(u'\n') +
                             QString::fromUtf8(child.readAllStandardError()));
        return outcome;
    }
    for (qsizetype i = first; i < last; ++i) {
        if (lines[i] == QLatin1String("logged in"))
            outcome.loggedIn = true;
        else
            outcome.shown.append(lines[i]);
    }
    return outcome;
}

// Whether the child has a file of that name open, before it ends.
bool waitUntilOpened(QProcess& child, const char* name)
{
    const fs::path handles = fs::path("/proc") / std::to_string(child.processId()) / "fd";
    for (int i = 0; i < 6000; ++i) {
        std::error_code error;
        for (const auto& handle : fs::directory_iterator(handles, error)) {
            if (fs::read_symlink(handle.path(), error).filename() == name)
                return true;
        }
        if (child.waitForFinished(5))
            return false;
    }
    return false;
}

std::string joined(const QStringList& lines)
{
    return lines.join(u'\n').toStdString();
}

// A complete store of an earlier start, made with the program's own statements.
void makeStore(const fs::path& folder, const std::function<void(RecordSet&)>& then = {})
{
    const QString path = QFile::decodeName(QByteArray::fromStdString((folder / "pj.db").string()));
    Connection connection;
    RecordSet ddl;
    ddl.setConnection(&connection);
    ASSERT_TRUE(vorndata::createDatabase(path, schema::kStorePassword));
    ASSERT_TRUE(vorndata::connect(connection, path, schema::kStorePassword));
    ASSERT_TRUE(vorndata::execute(ddl, schema::kCreateCategories));
    ASSERT_TRUE(vorndata::execute(ddl, schema::kCreateReceipts));
    if (then)
        then(ddl);
    fs::create_directory(folder / "image");
}

// A metafile in the picture folder and the converter that draws it beside
// the program, as an installation has them.
void withMetafile(const fs::path& folder)
{
    TempFolder made;
    writeEmfRedBlue(made.file(QStringLiteral("p.emf")));
    fs::create_directory(folder / "image");
    fs::copy_file(QFile::encodeName(made.file(QStringLiteral("p.emf"))).toStdString(),
                  folder / "image" / "p.emf");
    const QByteArray converter =
        QFile::encodeName(programFolder().value_or(QString())) + "tavrellquillbox-emf2svg";
    fs::copy_file(converter.toStdString(), folder / "tavrellquillbox-emf2svg");
}

// A store of the Jet format as the old program left it, whose stored
// password is the initial one, and the converter beside the program, or a
// stand-in for it that runs `script`. By bytes: the folder's name need not survive a QString.
void withJetStore(const fs::path& folder, const QByteArray& jet, const char* script = nullptr)
{
    std::ofstream(folder / "pj.db", std::ios::binary).write(jet.constData(), jet.size());
    const fs::path converter = folder / kJetConverterName.toStdString();
    if (script) {
        std::ofstream(converter) << "#!/bin/sh\n" << script;
        return fs::permissions(converter, fs::perms::owner_read | fs::perms::owner_exec);
    }
    const QByteArray real =
        QFile::encodeName(programFolder().value_or(QString())) + kJetConverterName.toUtf8();
    fs::copy_file(real.toStdString(), converter);
}

QByteArray oldStore()
{
    return writeJet4({jetCategories({{{1, QStringLiteral("办公")}}}),
                      jetReceipts({{{7, QStringLiteral("办公"), QStringLiteral("纸"), QVariant(),
                                     QStringLiteral("7.jpg")}}}),
                      jetPasswords({{{QStringLiteral("NTgzOTIw")}}})},
                     schema::kStorePassword);
}

// What the start-up tells of oldStore()'s conversion.
QString told(JetConversion::Outcome outcome)
{
    const bool converted = outcome == JetConversion::Converted;
    return QStringLiteral("info: ") +
           conversionMessage({outcome, 1, 1, converted ? kKeptJetName : schema::kStoreFileName});
}

// ... of a Jet store left unconverted: why first, then as with any store the program cannot read.
QStringList unconverted(JetConversion::Outcome outcome)
{
    const QString reason = QStringLiteral("数据文件不是本程序的数据文件，或已损坏");
    return {told(outcome), QStringLiteral("failure[startup]: file is encrypted or is not a database."),
            kUnreadable.arg(reason), kUnreadable.arg(reason), kUnreadable.arg(reason)};
}

void readOnly(const fs::path& folder)
{
    fs::permissions(folder / "pj.db", fs::perms::owner_read);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
}

struct StartCondition
{
    const char* name;
    QByteArray folderName;
    std::function<void(const fs::path& folder)> prepare;
    // Another program holds the store's write lock while the program starts.
    bool storeLocked;
    bool loggedIn;
    QStringList shown;
};

void PrintTo(const StartCondition& condition, std::ostream* out)
{
    *out << condition.name;
}

class StartUpTest : public ::testing::TestWithParam<StartCondition>
{
};

TEST_P(StartUpTest, StoreStaysBesideTheProgramAndTheLoginSaysWhy)
{
    const StartCondition& condition = GetParam();
    if (!platform::kLinux &&
        QFile::encodeName(QFile::decodeName(condition.folderName)) != condition.folderName)
        GTEST_SKIP() << "the portable platform half cannot reach a folder whose name does not decode";
    const bool rootHadStore = fs::exists("/pj.db") || fs::exists("/image");
    ProgramCopy program(condition.folderName);
    if (condition.prepare)
        condition.prepare(program.folder());

    Connection writer;
    if (condition.storeLocked) {
        writer.open(program.reachable() + schema::kStoreFileName, schema::kStorePassword);
        writer.execute(QStringLiteral("BEGIN EXCLUSIVE"));
    }
    QProcess child;
    program.start(child);
    if (condition.storeLocked) {
        // Until the program has opened the store and come to its first read,
        // then no longer than a statement that waits for the lock would wait.
        EXPECT_TRUE(waitUntilOpened(child, "pj.db")) << "the program never opened its store";
        QThread::msleep(300);
        writer.execute(QStringLiteral("COMMIT"));
    }
    const Outcome outcome = finish(child);

    EXPECT_EQ(outcome.loggedIn, condition.loggedIn) << joined(outcome.shown);
    // Whether a short conversion outlasts the progress window's delay depends
    // on the machine (a sanitizer build, a loaded one): only the rows about
    // that window count it.
    QStringList shown = outcome.shown;
    if (!condition.shown.contains(QStringLiteral("progress window")))
        shown.removeAll(QStringLiteral("progress window"));
    EXPECT_EQ(shown, condition.shown) << joined(outcome.shown);
    EXPECT_TRUE(fs::is_regular_file(program.folder() / "pj.db")) << "the store belongs beside the program";
    EXPECT_TRUE(fs::is_directory(program.folder() / "image"));
    EXPECT_FALSE(fs::exists(program.base() / "pj.db")) << "nothing belongs in the working folder";
    if (!rootHadStore) {
        EXPECT_FALSE(fs::exists("/pj.db") || fs::exists("/image")) << "the program wrote into /";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, StartUpTest,
    ::testing::Values(
        StartCondition{"first start", "new", {}, false, true, {}},
        // "票据" as a Chinese Windows names it (GBK): not UTF-8. The converters
        // reach their files there through this process's handle on the folder.
        StartCondition{"folder name not UTF-8",
                       "\xc6\xb1\xbe\xdd",
                       [](const fs::path& f) {
                           withMetafile(f);
                           withJetStore(f, oldStore());
                       },
                       false,
                       true,
                       {told(JetConversion::Converted), QStringLiteral("metafile 64x32")}},
        StartCondition{"store locked by another writer",
                       "locked",
                       [](const fs::path& f) { makeStore(f); },
                       true,
                       true,
                       {}},
        StartCondition{"store read-only with no password stored",
                       "read-only",
                       [](const fs::path& f) {
                           makeStore(
                               f, [](RecordSet& ddl) { vorndata::execute(ddl, schema::kCreatePasswords); });
                           readOnly(f);
                       },
                       false,
                       true,
                       {QStringLiteral("failure[startup]: attempt to write a readonly database.")}},
        StartCondition{"store read-only without the password table",
                       "read-only-new",
                       [](const fs::path& f) {
                           makeStore(f);
                           readOnly(f);
                       },
                       false,
                       true,
                       {QStringLiteral("failure[startup]: attempt to write a readonly database.")}},
        StartCondition{"store of the Jet format",
                       "jet",
                       [](const fs::path& f) { withJetStore(f, oldStore()); },
                       false,
                       true,
                       {told(JetConversion::Converted)}},
        StartCondition{"damaged store of the Jet format", "jet-damaged",
                       [](const fs::path& f) { withJetStore(f, oldStore().left(4096)); }, false, false,
                       unconverted(JetConversion::Unreadable)},
        StartCondition{
            "slow converter that cannot write the new store", "jet-slow",
            [](const fs::path& f) { withJetStore(f, oldStore(), "sleep 1.5; exit 3"); }, false, false,
            QStringList{QStringLiteral("progress window")} + unconverted(JetConversion::NotWritten)},
        StartCondition{"stored password unreadable",
                       "unreadable",
                       [](const fs::path& f) {
                           // A table that the store names but cannot read.
                           makeStore(f, [](RecordSet& ddl) {
                               vorndata::execute(ddl, QStringLiteral("create table gone(mm char(50))"));
                               vorndata::execute(ddl,
                                                 QStringLiteral("create view pass as select mm from gone"));
                               vorndata::execute(ddl, QStringLiteral("drop table gone"));
                           });
                       },
                       false,
                       false,
                       {QStringLiteral("failure[startup]: no such table: main.gone."),
                        kUnreadable.arg(QStringLiteral("数据文件读取出错，引擎错误代码 1")),
                        kUnreadable.arg(QStringLiteral("数据文件读取出错，引擎错误代码 1")),
                        kUnreadable.arg(QStringLiteral("数据文件读取出错，引擎错误代码 1"))}}),
    [](const ::testing::TestParamInfo<StartCondition>& info) { return "row" + std::to_string(info.index); });

// Two starts at the same moment on a new folder: both make the store ready
// and both let the user in.
TEST(StartUpTwiceTest, BothStartsOnANewFolderLogIn)
{
    for (int round = 0; round < 4; ++round) {
        ProgramCopy program("twice");
        QProcess first;
        QProcess second;
        program.start(first);
        program.start(second);
        for (QProcess* child : {&first, &second}) {
            const Outcome outcome = finish(*child);
            EXPECT_TRUE(outcome.loggedIn) << "round " << round << ": " << joined(outcome.shown);
            EXPECT_TRUE(outcome.shown.isEmpty()) << "round " << round << ": " << joined(outcome.shown);
        }
    }
}

// An executable whose folder cannot be found: the program says so and writes
// nothing, not even into the working folder.
TEST(StartUpFolderTest, UnknownFolderStopsBeforeWritingAnything)
{
    TempFolder working;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(working.path()));
    RecordingDialogs dialogs;
    FailureReport report(dialogs, QStringLiteral("startup"));
    for (const QByteArray& executable :
         {QByteArray(), QByteArray("program"), QByteArray("/no/such/folder/program")}) {
        dialogs.shown.clear();
        EXPECT_EQ(runProgram(executable, dialogs, report), 1) << executable.constData();
        EXPECT_EQ(dialogs.shown,
                  QStringList{QStringLiteral(
                      "info: 无法确定本程序所在的文件夹，程序没有启动，也没有写入任何文件。")});
    }
    EXPECT_TRUE(QDir(working.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    QDir::setCurrent(before);
}

} // namespace
