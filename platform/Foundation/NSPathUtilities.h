#pragma once

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
void NSSetApplicationHome(const std::string& directory);  // empty string: back to XDG
