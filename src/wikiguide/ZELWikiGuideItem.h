#pragma once

#include <optional>
#include <string>

#include "Net/NSURL.h"
#include "foundation/ZELJSONObject.h"

// What every node of the guide has: a title, an image and a type word.
class ZELWikiGuideItem : public ZELJSONObject {
  public:
    enum Type : int { TypeNone = 0, TypeTop = 1, TypeSight = 2, TypeWalk = 100 };

    std::optional<std::string> title() const { return stringForProperty("title"); }
    std::optional<std::string> imageUrlString() const {
        return stringForProperty("imageUrlString");
    }
    std::optional<std::string> typeString() const { return stringForProperty("typeString"); }
    // Only the exact lower-case words map; anything else is TypeNone.
    int type() const;

    std::optional<NSURL> imageUrl() const { return encodedUrlFromString(imageUrlString()); }
    // The name of the image's file in the package's images folder: the
    // SHA-256 of the image address (of "" when there is none).
    std::string imageFileName() const;

    // The URL of a web address as a page gives it: valid URLs as they are,
    // else with the characters a URL cannot hold percent-escaped in UTF-8
    // (reserved characters, "%" and spaces stay); nullopt when still invalid.
    static std::optional<NSURL> encodedUrlFromString(const std::optional<std::string>& string);
};
