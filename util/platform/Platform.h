#pragma once

// Everything that ties the program to one operating system goes through
// this interface. Two implementations exist, chosen when the build is
// configured (QB_PLATFORM):
//
//   PlatformLinux.cpp     the system calls of Linux, which the program is
//                         built for and which keeps every promise below;
//   PlatformPortable.cpp  Qt and the C++ standard library only, for a system
//                         without the Linux half. It is built and tested on
//                         Linux too, so that it stays sound. Where it cannot
//                         keep a promise, the function's note below says so
//                         ("portable:"), and the capability constants tell
//                         the callers that depend on it.
//
// Paths are texts as Qt gives them; where the system's own bytes matter
// (names that need not decode), they are bytes.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qb::platform {

// Whether this build is the Linux half.
extern const bool kLinux;

// ---- the program itself

// The path of the running executable as the system gives it: raw bytes.
// Empty when the system does not tell it.
// portable: Qt's application path (needs the application object), encoded.
QByteArray executablePath();

// A path through which the existing folder `folder` (raw bytes, absolute)
// stays reachable though its name does not survive decoding into a text:
// the folder is opened once and reached through the process's own handle on
// it, which stays open for the rest of the run. Ends with a separator.
// Nothing when the folder cannot be opened.
// portable: cannot; always nothing (the program then refuses to start rather
// than reach another folder).
std::optional<QString> folderByHandle(const QByteArray& folder);

// Whether an existing folder can be opened by its raw name (bytes).
bool folderExists(const QByteArray& folder);

// The file name of the helper program `base` beside the program (".exe" on
// Windows).
QString helperProgramName(const QString& base);

// For a helper program's main, before it reads anything: caps its processor
// time and address space, and lets it end when the program that started it
// ends. Limits are left off in a sanitizer build, whose shadow memory needs
// the address space.
// portable: cannot limit; does nothing.
void limitHelperProcess(int cpuSeconds, long long addressBytes, bool endWithStarter);

// ---- processes

enum class Liveness { Running, Gone, Unknown };

// Whether the process `pid` still runs (one of another user counts).
// portable: only this process is known to run; for any other the answer is
// Unknown, and leftovers of other processes are kept.
Liveness processState(qint64 pid);

// ---- files and folders

// Whether `path` names an existing entry that is not a folder (links count as
// what they point to). A file that another program holds open counts.
bool isNonFolder(const QString& path);

// Makes the finished file or folder at `path` (a folder: the names in it)
// survive a power cut. False with errno set when the system refuses.
// portable: Qt has no call for this; returns true, and the data reaches the
// disk when the system writes it.
bool syncToDisk(const QString& path);

// Makes the folder `path`. Returns 0 or the errno of the failure (EEXIST
// when something stands there).
int makeFolder(const QString& path);

// Copies `from` to the new file `to`, bytes unchanged; an existing `to` is
// never replaced (EEXIST). Returns 0 or the errno of the failure.
// portable: Qt's files, which carry no errno: the error is told from what
// stands there (EEXIST, ENOENT, EACCES; ENOSPC when the disk has no room
// left, else EIO).
int copyToNewFile(const QString& from, const QString& to);

// Moves the file `from` to `to` in one step, unless something stands at `to`
// already: then nothing moves and EEXIST is returned. Returns 0 or the errno
// of the failure. Both paths must lie on one file system.
// portable: a hard link and the removal of the first name (std::filesystem);
// where the file system has no hard links, Qt's rename, which tests for the
// target first: a file that appears there in between may be replaced.
int moveWithoutReplacing(const QString& from, const QString& to);

// Moves the file `from` to `to` in one step, replacing what stands at `to`.
// Returns 0 or the errno of the failure.
int moveReplacing(const QString& from, const QString& to);

// Gives the file `existing` the second name `name` (a hard link). Returns 0
// or the errno of the failure: EEXIST when `name` is taken, another when the
// file system has no hard links.
int hardLink(const QString& existing, const QString& name);

// Whether the names `a` and `b` stand for one file, links not followed: a
// symbolic link is not the file it points to.
// portable: a name that is a symbolic link is never the same file; the test
// and the comparison are two steps.
bool sameFile(const QString& a, const QString& b);

// What tells a file from another one put under its name, or from itself
// written over: device, file number, size and time of the last write.
struct FileIdentity
{
    long long device = 0;
    long long node = 0;
    long long size = 0;
    long long written = 0;
    bool operator==(const FileIdentity&) const = default;
};
// portable: no device and file number (both 0); size and time only.
std::optional<FileIdentity> fileIdentity(const QString& path);

// Calls `visit` once for every entry of `folder` with the entry's name as the
// system gives it (bytes, no conversion) and whether it is a folder (a link
// counts as what it points to). One listing, in the system's order.
// portable: the names come through Qt's listing, encoded back to bytes.
void forEachEntry(const QString& folder,
                  const std::function<void(std::string_view name, bool isFolder)>& visit);

enum class EntryKind { None, File, Folder };
// What each of `names` (raw bytes) in `folder` is now, as a listing would
// say: a link counts as what it points to, a link that points nowhere as a
// file. Nothing when the folder cannot be opened.
std::optional<std::vector<EntryKind>> entriesNow(const QString& folder,
                                                 const std::vector<std::string>& names);

// ---- the folder-change watcher

// Whether a FolderWatch can watch at all (and so tell the names that changed).
extern const bool kFolderWatch;

// The system's change notices for one folder: which names were made,
// removed or moved in or out since they were last taken.
// portable: Qt's file-system watcher tells only that a folder changed, not
// which names, so there is no watch: watch() is always false, the caller
// lists the folder each time, and `noticed` is never called.
class FolderWatch
{
public:
    // `noticed`, if given, is called on the event loop when notices wait to
    // be taken.
    explicit FolderWatch(QString folder, std::function<void()> noticed = {});
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Watches the folder, unless it is watched already; whether it is now. A
    // watch ends when the folder itself is moved or removed (the path may
    // name another folder by then): watch() watches the path anew.
    bool watch();

    // Takes the notices that arrived. Puts the names (raw bytes) for which
    // `wanted` says yes into `names`; false when the notices cannot tell what
    // the folder holds now (none could be had, more arrived than the system
    // keeps, the watch ended).
    bool take(const std::function<bool(std::string_view)>& wanted, std::vector<std::string>& names);

    struct State;

private:
    std::unique_ptr<State> m_state;
};

// ---- memory and standard error

// Memory of its own for reading one large file, which may use huge pages:
// filling a hundred megabytes page by page costs a good part of a second on
// a busy machine, the same in 2 MB pages a few milliseconds.
// portable: none to be had (data() is null); the caller reads as usual.
class LargeMemory
{
public:
    explicit LargeMemory(size_t bytes);
    ~LargeMemory();
    LargeMemory(const LargeMemory&) = delete;
    LargeMemory& operator=(const LargeMemory&) = delete;
    char* data() const { return m_data; }
    size_t size() const { return m_size; }

private:
    char* m_data = nullptr;
    size_t m_size = 0;
};

// What the process writes to its standard error while this lives is kept
// aside, for a library that reports only there.
// portable: cannot redirect the standard error; nothing is kept, and
// firstLine() is always empty.
class StandardErrorCapture
{
public:
    StandardErrorCapture();
    ~StandardErrorCapture();
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

    // Ends the capture and gives the first line written meanwhile (at most
    // 255 bytes), or nothing.
    std::string firstLine();

private:
    void restore();
    std::FILE* m_file = nullptr;
    int m_saved = -1;
};

} // namespace qb::platform
