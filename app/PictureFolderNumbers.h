#pragma once

#include "app/NumberedPictureName.h"

#include <QString>
#include <QtGlobal>
#include <absl/container/flat_hash_set.h>
#include <string_view>

namespace qb {

// Which numbered names of a picture folder are taken, by files and by
// folders apart (a folder takes a name only where a file cannot go there).
// Links count as what they point to; a link that points nowhere, as a file.
class FolderNumbers
{
public:
    enum class Entry { None, File, Folder };

    // One listing of `folder`'s raw names: no sorting, no text per name.
    static FolderNumbers list(const QString& folder);

    bool taken(qint64 number, bool foldersTakeNames) const
    {
        return m_files.contains(number) || (foldersTakeNames && m_folders.contains(number));
    }
    // What `name` now is; names that are no numbered picture name are not kept.
    void set(std::string_view name, Entry entry);

    bool operator==(const FolderNumbers& other) const
    {
        return m_files == other.m_files && m_folders == other.m_folders;
    }

private:
    absl::flat_hash_set<qint64> m_files;
    absl::flat_hash_set<qint64> m_folders;
};

// The taken numbers of one picture folder, kept between filings: a listing
// of a hundred thousand names costs tens of milliseconds, and the user files
// one receipt after another. The system's change notices for the folder
// (inotify) tell which names changed since; each is looked at again. When
// the notices cannot tell (none could be had, more arrived than the system
// keeps, the folder itself was moved or removed, or the path now leads to
// another folder, as when it is a link pointed elsewhere), the folder is
// listed anew.
//
// Only which number is the lowest free one rests on this: a name is always
// tested on its own before a picture goes there, and never replaces a file.
class PictureFolderNumbers
{
public:
    explicit PictureFolderNumbers(QString folder);
    ~PictureFolderNumbers();
    PictureFolderNumbers(const PictureFolderNumbers&) = delete;
    PictureFolderNumbers& operator=(const PictureFolderNumbers&) = delete;

    // The folder's taken numbers as they are now.
    const FolderNumbers& current();
    // The descriptor that becomes readable when notices arrive (so that the
    // program can take them while idle, with current()), or -1.
    int noticeDescriptor() const { return m_notices; }
    // How many times the folder was listed (for tests and the bench).
    int listings() const { return m_listings; }

private:
    bool watch();
    bool readNotices(bool apply = true);
    bool stillWatched() const;
    void unwatch();

    QString m_folder;
    int m_notices = -1;
    int m_watch = -1;
    // The folder watched (device and inode), as the path led when the watch began.
    quint64 m_device = 0, m_inode = 0;
    bool m_known = false;
    int m_listings = 0;
    FolderNumbers m_numbers;
};

} // namespace qb
