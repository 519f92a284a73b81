#pragma once

#include <memory>

#include "foundation/ZELJSONObject.h"
#include "wikiguide/ZELWikiGuideGroup.h"

// A package's guide: one root group whose tree holds the themes and walks.
class ZELWikiGuide : public ZELJSONObject {
  public:
    Descriptors jsonDescriptors() const override;
    std::string className() const override { return "ZELWikiGuide"; }

    std::shared_ptr<ZELWikiGuideGroup> rootGroup() const {
        return objectForProperty<ZELWikiGuideGroup>("rootGroup");
    }
    // The walks below the root (the root itself is not counted).
    size_t walksCount() const;
};
