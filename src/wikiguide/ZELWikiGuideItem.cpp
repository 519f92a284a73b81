#include "wikiguide/ZELWikiGuideItem.h"

#include "foundation/NSString+HashValue.h"

int ZELWikiGuideItem::type() const {
    const auto word = typeString();
    if (!word)
        return TypeNone;
    if (*word == "top")
        return TypeTop;
    if (*word == "sight")
        return TypeSight;
    if (*word == "walk")
        return TypeWalk;
    return TypeNone;
}

std::string ZELWikiGuideItem::imageFileName() const {
    return sha256String(imageUrlString().value_or(""));
}

std::optional<NSURL> ZELWikiGuideItem::encodedUrlFromString(
    const std::optional<std::string>& string) {
    if (!string)
        return std::nullopt;
    if (auto url = NSURL::URLWithString(*string))
        return url;
    return NSURL::URLWithString(NSURL::percentEncode(*string, "!*'\"();:@&=+$,/?%#[] "));
}
