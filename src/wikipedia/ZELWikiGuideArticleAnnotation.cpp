#include "wikipedia/ZELWikiGuideArticleAnnotation.h"

#include "wikiguide/ZELWikiGuideArticle.h"

ZELWikiGuideArticleAnnotation::ZELWikiGuideArticleAnnotation(
    std::shared_ptr<ZELWikiGuideArticle> article)
    : article_(std::move(article)) {}

CLLocationCoordinate2D ZELWikiGuideArticleAnnotation::coordinate() const {
    return article_->coordinate();
}

std::optional<std::string> ZELWikiGuideArticleAnnotation::uniqueIdentifier() const {
    return article_->uniqueIdentifier();
}

std::optional<std::string> ZELWikiGuideArticleAnnotation::title() const {
    return article_->title();
}

std::optional<std::string> ZELWikiGuideArticleAnnotation::subtitle() const {
    return article_->subtitle();
}
