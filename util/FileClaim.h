#pragma once

#include <QString>
#include <functional>
#include <string_view>

namespace qb {

// Files that the program writes in its own folders are first written under a
// temporary name of its own and then moved to their real name in one step,
// so that a name is either absent or names a complete file. These helpers
// make and clean up those temporary names and do the move.

// Moves the file `from` to `to` in one step, unless something stands at `to`
// already: then nothing moves and EEXIST is returned. Returns 0 on success,
// otherwise the errno of the failure. Both paths must lie on one file system.
int moveWithoutReplacing(const QString& from, const QString& to);

// A fresh temporary name in `folder` (which ends with a separator):
// prefix + this process's id + "-" + a random part + suffix. The process id
// tells a later start whether the file's writer may still be at work.
QString temporaryName(const QString& folder, const QString& prefix, const QString& suffix);

// Removes the files in `folder` whose names have the form temporaryName()
// gives for `prefix` and `suffix` (and older ones without the process id),
// unless the process that made them is still running. Returns how many were
// removed. Nothing else in the folder is touched.
int removeLeftoverTemporaries(const QString& folder, const QString& prefix, const QString& suffix);

// Calls `visit` once for every entry of `folder` with the entry's name as the
// system gives it (bytes, no conversion) and whether it is a folder (a link
// counts as what it points to). One listing, in the system's order: the
// picture folder can hold a hundred thousand pictures.
void forEachEntry(const QString& folder,
                  const std::function<void(std::string_view name, bool isFolder)>& visit);

} // namespace qb
