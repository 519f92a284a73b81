#include "app/CBPlaceAnnotation.h"

#include "CBGeoData/CBGeoSearchResult.h"

CBPlaceAnnotation::CBPlaceAnnotation(std::shared_ptr<CBGeoSearchResult> result, bool isBookmark)
    : CBGeoObjectAnnotation(result ? result->object() : nullptr),
      result_(std::move(result)),
      isBookmark_(isBookmark),
      coordinate_(result_ ? result_->coordinate() : CLLocationCoordinate2D{}),
      identifier_(result_ ? result_->uniqueIdentifier() : "") {}
