#pragma once

#include <memory>
#include <optional>
#include <string>

#include "mapkit/CBAnnotation.h"

class ZELWikiGuideArticle;

// A guide article on a map. Its identifier is the article's web address, so
// an article that stands in two groups is one pin; its title and subtitle
// are the article's as they are when asked.
class ZELWikiGuideArticleAnnotation : public CBAnnotation {
  public:
    explicit ZELWikiGuideArticleAnnotation(std::shared_ptr<ZELWikiGuideArticle> article);

    const std::shared_ptr<ZELWikiGuideArticle>& article() const { return article_; }

    CLLocationCoordinate2D coordinate() const override;
    std::optional<std::string> uniqueIdentifier() const override;
    std::optional<std::string> title() const override;
    std::optional<std::string> subtitle() const override;

  private:
    std::shared_ptr<ZELWikiGuideArticle> article_;
};
