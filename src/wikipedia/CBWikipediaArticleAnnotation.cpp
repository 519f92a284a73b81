#include "wikipedia/CBWikipediaArticleAnnotation.h"

#include "model/CBWikipediaManager.h"
#include "wikiguide/CBWikipediaArticle.h"

CBWikipediaArticleAnnotation::CBWikipediaArticleAnnotation(CBWikipediaArticle& article)
    : coordinate_(article.coordinate()),
      identifier_(article.uniqueIdentifier()),
      title_(article.title()) {}

std::shared_ptr<CBWikipediaArticle> CBWikipediaArticleAnnotation::articleInManager(
    CBWikipediaManager& manager) const {
    if (!manager.wikipediaAvailable())
        return nullptr;
    auto context = manager.managedObjectContext();
    auto coordinator = context ? context->persistentStoreCoordinator() : nullptr;
    if (!coordinator)
        return nullptr;
    const auto objectID = coordinator->managedObjectIDForURIRepresentation(identifier_);
    if (objectID.isNull())
        return nullptr;
    return std::dynamic_pointer_cast<CBWikipediaArticle>(context->existingObjectWithID(objectID));
}
