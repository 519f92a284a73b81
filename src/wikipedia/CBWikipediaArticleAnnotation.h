#pragma once

#include <memory>
#include <optional>
#include <string>

#include "mapkit/CBAnnotation.h"

class CBWikipediaArticle;
class CBWikipediaManager;

// An article on the map. Its identifier is the article's object ID, so the
// same article shown twice is one pin. The values are taken when it is made
// (on the main thread, from an article of the manager's main context); the
// map may ask them from any thread. It holds no managed object: a store
// closed and opened again since still finds its article.
class CBWikipediaArticleAnnotation : public CBAnnotation {
  public:
    explicit CBWikipediaArticleAnnotation(CBWikipediaArticle& article);

    CLLocationCoordinate2D coordinate() const override { return coordinate_; }
    std::optional<std::string> uniqueIdentifier() const override { return identifier_; }
    std::optional<std::string> title() const override { return title_; }

    // The article in the manager's open store; nullptr when the store that
    // held it is no longer open.
    std::shared_ptr<CBWikipediaArticle> articleInManager(CBWikipediaManager& manager) const;

  private:
    CLLocationCoordinate2D coordinate_;
    std::string identifier_;
    std::optional<std::string> title_;
};
