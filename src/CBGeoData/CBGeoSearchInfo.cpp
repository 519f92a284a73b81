#include "CBGeoData/CBGeoSearchInfo.h"

#include <cstdio>

std::string CBGeoSearchInfo::description() const {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, " started at: %.3f (%f s ago), for string: ",
                  startDate.timeIntervalSinceReferenceDate(), -startDate.timeIntervalSinceNow());
    return "<CBGeoSearchInfo>" + std::string(buffer) + searchString;
}
