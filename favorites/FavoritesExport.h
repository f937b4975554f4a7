#pragma once
// The user's favorites folder as one JSON text: each folder an object of its
// entries, a folder entry "name":{...}, a shortcut "name":"url" (the name
// without ".url"), any other file "name":"".

#include <string>

namespace ovix::favorites {

// The favorites folder: the "Favorites" value of the user-shell-folders key
// of the current user, with its environment references expanded, into
// `folder`. 1 when it was read, 0 when the key or a text value is missing.
int GetFavoritesFolder(std::string& folder);

// "{" + WalkFavoritesFolder(favorites folder) + "}", or "{}" without one.
std::string ExportFavorites();

// The members of one folder level, without braces, in the order the file
// system lists them; empty when the folder cannot be listed. Files whose
// names begin with "." are left out; hidden folders are not. A folder that
// leads back to one being walked (through a symbolic link) is listed empty.
std::string WalkFavoritesFolder(const std::string& folder);

}  // namespace ovix::favorites
