#include "store/CBMapStoreMapAnnotation.h"

#include "packages/CBMapStoreMap.h"

CBMapStoreMapAnnotation::CBMapStoreMapAnnotation(std::shared_ptr<CBMapStoreMap> map)
    : map_(std::move(map)),
      coordinate_(map_->coordinate()),
      identifier_(map_->identifier()),
      title_(map_->title()),
      subtitle_(map_->subtitle()) {}
