#pragma once

#include <optional>
#include <string>

#include "TypeTable.h"

// The "pubtrans" attribute of a stop, station or platform ("bus_stop",
// "tram_stop", "station", "halt", "ferry_terminal", ...); nullopt for
// anything else.
std::optional<std::string> stopKindOf(const OsmTags& tags);

// The route types that are public transport ("bus", "tram", "train", ...).
bool isPublicTransportRoute(const std::string& route);

// The colour of a route as "#RRGGBB": its "colour" tag (hex or a common
// colour name), else a colour of its kind.
std::optional<std::string> routeColour(const OsmTags& tags);
