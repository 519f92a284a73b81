#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Foundation/Value.h"

class CBGeoObject;
class CBGeoRelation;

// How the screens name a public-transport line: its kind in words and its
// number before its route, "Bus 2 · Bethanienberg Süd - Busbahnhof".
// Without the kind (the list of a stop's bus lines says it already), the
// number alone leads: "2 · Bethanienberg Süd - Busbahnhof". A line without
// a number is its name; one without a name its kind and number.
std::string CBLineTitle(CBGeoRelation& line, const Value* translations, bool withKind);

// The stops of a line, each named stop once: the platforms and stop
// positions of one stop share its name, and the first that is not a mere
// stop position stands for them. Stops without a name stay as they are.
std::vector<std::shared_ptr<CBGeoObject>> CBStopsEachOnce(
    const std::vector<std::shared_ptr<CBGeoObject>>& stops);
