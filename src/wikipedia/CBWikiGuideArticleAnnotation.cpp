#include "wikipedia/CBWikiGuideArticleAnnotation.h"

#include <cmath>

#include "wikiguide/ZELWikiGuideArticle.h"

CBWikiGuideArticleAnnotation::CBWikiGuideArticleAnnotation(
    std::shared_ptr<ZELWikiGuideArticle> article)
    : article_(std::move(article)),
      coordinate_(article_->coordinate()),
      identifier_(article_->uniqueIdentifier()),
      title_(article_->title()) {}

std::optional<std::string> CBWikiGuideArticleAnnotation::subtitle() const {
    return article_->subtitle();
}

bool CBWikiGuideArticleAnnotation::hasPlace(const ZELWikiGuideArticle& article) {
    const auto latitude = article.coordinateLatitude();
    const auto longitude = article.coordinateLongitude();
    return latitude && longitude && std::isfinite(*latitude) && std::isfinite(*longitude) &&
           CLLocationCoordinate2DIsValid(CLLocationCoordinate2DMake(*latitude, *longitude));
}
