#pragma once

#include <optional>
#include <string>

class CBGeoObject;

// Bookmarks the user placed by hand have the type code -1; the user's note is
// the tag "kelvara:desc".
bool isUserGeneratedBookmark(CBGeoObject& object);
void setIsUserGeneratedBookmark(CBGeoObject& object);
std::optional<std::string> bookmarkDescription(CBGeoObject& object);
// Changes the note's tag, or adds one in the object's context.
void setBookmarkDescription(CBGeoObject& object, const std::string& text);
