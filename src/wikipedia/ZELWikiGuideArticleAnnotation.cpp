#include "wikipedia/ZELWikiGuideArticleAnnotation.h"

#include <cmath>

#include "wikiguide/ZELWikiGuideArticle.h"

ZELWikiGuideArticleAnnotation::ZELWikiGuideArticleAnnotation(
    std::shared_ptr<ZELWikiGuideArticle> article)
    : article_(std::move(article)),
      coordinate_(article_->coordinate()),
      identifier_(article_->uniqueIdentifier()),
      title_(article_->title()) {}

std::optional<std::string> ZELWikiGuideArticleAnnotation::subtitle() const {
    return article_->subtitle();
}

bool ZELWikiGuideArticleAnnotation::hasPlace(const ZELWikiGuideArticle& article) {
    const auto latitude = article.coordinateLatitude();
    const auto longitude = article.coordinateLongitude();
    return latitude && longitude && std::isfinite(*latitude) && std::isfinite(*longitude) &&
           CLLocationCoordinate2DIsValid(CLLocationCoordinate2DMake(*latitude, *longitude));
}
