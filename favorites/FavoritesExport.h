#pragma once
// The user's favorites folder as one JSON text: each folder an object of its
// entries, a folder entry "name":{...}, a shortcut "name":"url" (the name
// without ".url"), any other file "name":"". Names and URLs are written as
// UTF-8, each invalid byte sequence as U+FFFD.
// Thread safety: free functions; the walk keeps its state on the stack.

#include <cstddef>
#include <string>

namespace ovix::favorites {

// Bounds of one walk, far beyond any real favorites tree; the listing ends
// where a walk reaches one.
struct WalkLimits {
    // Folder levels listed below the favorites folder; deeper ones are listed empty.
    int depth = 32;
    // Folder entries looked at in the whole walk.
    std::size_t entries = 50000;
};

// The largest shortcut file that is read; a larger one is left out.
inline constexpr std::size_t kShortcutMaxBytes = 8192;

// The favorites folder: the "Favorites" value of the user-shell-folders key
// of the current user, with its environment references expanded, into
// `folder`. 1 when it was read and names a folder directly (an absolute path
// without a ".." step, which could climb out of the folder it seems to name);
// 0, with `folder` unchanged, when the key or a text value is missing or
// names no folder directly.
int GetFavoritesFolder(std::string& folder);

// "{" + WalkFavoritesFolder(favorites folder) + "}", or "{}" without one.
std::string ExportFavorites();

// The members of one folder level, without braces, in the order the file
// system lists them; empty when the folder cannot be listed or is the root
// of the file system. Files whose names begin with "." and shortcuts larger
// than kShortcutMaxBytes are left out; hidden folders are not. Each folder
// (by device and inode) is listed once; a symbolic link to a folder already
// listed, or to one outside `folder`, is listed empty.
std::string WalkFavoritesFolder(const std::string& folder, const WalkLimits& limits = {});

}  // namespace ovix::favorites
