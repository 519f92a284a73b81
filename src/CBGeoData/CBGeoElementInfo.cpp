#include "CBGeoData/CBGeoElementInfo.h"

#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoRelation.h"

std::shared_ptr<CBGeoElement> CBGeoElementInfo::element() {
    return std::dynamic_pointer_cast<CBGeoElement>(objectForKey("element"));
}

std::shared_ptr<CBGeoRelation> CBGeoElementInfo::relation() {
    return std::dynamic_pointer_cast<CBGeoRelation>(objectForKey("relation"));
}
