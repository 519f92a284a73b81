#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

class CBGeoObject;
class CBGeoTag;

// The general tags a place's detail list shows: none for a guide object;
// otherwise every tag but contact keys, internal keys, the bookmark note and
// the international names, which are shown elsewhere or not at all.
std::optional<std::vector<std::shared_ptr<CBGeoTag>>> tagsForDisplay(CBGeoObject& object);
// The section letter of lists: the first letter, "#" when it holds no
// letter, "-" without one.
std::string dynamicFirstLetter(CBGeoObject& object);
