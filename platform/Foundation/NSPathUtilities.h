#pragma once

#include <optional>
#include <string>

// The application's folders. By default they follow XDG:
//   Documents   $XDG_DATA_HOME/kelvara/Documents   (~/.local/share)
//   Caches      $XDG_CACHE_HOME/kelvara            (~/.cache)
//   Library     $XDG_CONFIG_HOME/kelvara/Library   (~/.config)
//   defaults    $XDG_CONFIG_HOME/kelvara/Preferences.plist
// NSSetApplicationHome(DIR) (the --home DIR option; tests always use it) puts
// all of them under DIR: DIR/Documents, DIR/Caches, DIR/Library,
// DIR/Preferences.plist. Folders are created on first request.
enum class NSSearchPathDirectory { Documents, Caches, Library };

std::string NSSearchPathForDirectory(NSSearchPathDirectory directory);
std::string NSUserDefaultsFilePath();
// The same folders (the defaults' one: the folder of their file) without
// making them, for a look at the home before anything is written to it.
std::string NSSearchPathForDirectoryUnmade(NSSearchPathDirectory directory);
std::string NSUserDefaultsFolderUnmade();
void NSSetApplicationHome(const std::string& directory);  // empty string: back to XDG

// A path inside the application's folders kept so that it outlives a moved
// home (`mv`, a restored backup, other XDG folders, another --home): the
// folder's name and the path below it, "Documents/maps", "Caches/x",
// "Library/Application Support/x".
//
// The home-relative form of an absolute path under this start's folders
// (".." taken as written); nullopt for any other path.
std::optional<std::string> NSHomeRelativePathForPath(const std::string& path);
// The same, and for a path of another home root (a path kept before the home
// moved) its form recognised by the trailing part under the last folder that
// names a home folder: ".../Documents/x", ".../Library/x", ".../Caches/x", an
// XDG cache ".../kelvara/x" (the phone's ".../Library/Caches/x" is Caches
// too). nullopt for a path outside every home.
std::optional<std::string> NSHomeRelativePathForPathInAnyHome(const std::string& path);
// The absolute path of a home-relative one in this start's folders (created
// as NSSearchPathForDirectory does); nullopt for anything else, and for a
// path with "." or "..".
std::optional<std::string> NSPathForHomeRelativePath(const std::string& relative);
