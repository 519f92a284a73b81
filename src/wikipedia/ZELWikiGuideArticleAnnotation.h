#pragma once

#include <memory>
#include <optional>
#include <string>

#include "mapkit/CBAnnotation.h"

class ZELWikiGuideArticle;

// A guide article on a map. Its identifier is the article's address, so the
// same article shown twice is one pin. Position, identifier and title are
// taken when it is made (the map may ask them from any thread); the
// subtitle is asked of the article each time, on the main thread, so a
// walk's stop names its distance from where the walker is now.
class ZELWikiGuideArticleAnnotation : public CBAnnotation {
  public:
    explicit ZELWikiGuideArticleAnnotation(std::shared_ptr<ZELWikiGuideArticle> article);

    CLLocationCoordinate2D coordinate() const override { return coordinate_; }
    std::optional<std::string> uniqueIdentifier() const override { return identifier_; }
    std::optional<std::string> title() const override { return title_; }
    std::optional<std::string> subtitle() const override;

    const std::shared_ptr<ZELWikiGuideArticle>& article() const { return article_; }
    // Whether the article has a place on earth: both numbers there, finite
    // and in range.
    static bool hasPlace(const ZELWikiGuideArticle& article);

  private:
    std::shared_ptr<ZELWikiGuideArticle> article_;
    CLLocationCoordinate2D coordinate_;
    std::optional<std::string> identifier_;
    std::optional<std::string> title_;
};
