#pragma once

#include "app/core/NumberedPictureName.h"
#include "util/platform/Platform.h"

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
// (platform::FolderWatch) tell which names changed since; each is looked at
// again. When the notices cannot tell (none could be had, more arrived than
// the system keeps, the folder itself was moved or removed, or the path now
// leads to another folder, as when it is a link pointed elsewhere), the folder is
// listed anew.
//
// Only which number is the lowest free one rests on this: a name is always
// tested on its own before a picture goes there, and never replaces a file.
class PictureFolderNumbers
{
public:
    // `noticed`, if given, is called on the event loop when notices arrive
    // (so that the program can take them while idle, with current()).
    explicit PictureFolderNumbers(QString folder, std::function<void()> noticed = {});
    PictureFolderNumbers(const PictureFolderNumbers&) = delete;
    PictureFolderNumbers& operator=(const PictureFolderNumbers&) = delete;

    // The folder's taken numbers as they are now.
    const FolderNumbers& current();
    // Whether the numbers are kept by notices since the last current().
    bool watching() const { return m_known; }
    // How many times the folder was listed (for tests and the bench).
    int listings() const { return m_listings; }

private:
    bool readNotices(bool apply = true);

    QString m_folder;
    platform::FolderWatch m_watch;
    bool m_known = false;
    int m_listings = 0;
    FolderNumbers m_numbers;
};

} // namespace qb
