#pragma once

#include <memory>
#include <vector>

class CBGeoObject;

// The stops of a line, each named stop once: the platforms and stop
// positions of one stop share its name, and the first that is not a mere
// stop position stands for them. Stops without a name stay as they are.
std::vector<std::shared_ptr<CBGeoObject>> CBStopsEachOnce(
    const std::vector<std::shared_ptr<CBGeoObject>>& stops);
