#pragma once

#include <string>

#include "Foundation/Value.h"

class CBGeoObject;

// How a list names a place: its display name, else what it is (the
// readable text of its type tag, from the tag translations of its map);
// "" when neither is known.
std::string CBPlaceNameForList(CBGeoObject& object, const Value& translations);
