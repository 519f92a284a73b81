#include "CBGeoData/CBGeoObject+BookmarkAdditions.h"

#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"

namespace {
constexpr const char* kBookmarkDescriptionKey = "kelvara:desc";
constexpr int64_t kUserGeneratedTypeID = -1;
}  // namespace

bool isUserGeneratedBookmark(CBGeoObject& object) {
    return object.typeID() == kUserGeneratedTypeID;
}

void setIsUserGeneratedBookmark(CBGeoObject& object) {
    object.setValueForKey("typeID", Value(kUserGeneratedTypeID));
}

std::optional<std::string> bookmarkDescription(CBGeoObject& object) {
    return object.getAttributeOfTagForKey(kBookmarkDescriptionKey);
}

void setBookmarkDescription(CBGeoObject& object, const std::string& text) {
    if (auto tag = object.getTagForKey(kBookmarkDescriptionKey)) {
        tag->setValueForKey("attribute", Value(text));
        return;
    }
    object.addTag(CBGeoTag::tagWithKeyAndAttributeInContext(kBookmarkDescriptionKey, text,
                                                            object.managedObjectContext()));
}
