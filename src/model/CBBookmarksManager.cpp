#include "model/CBBookmarksManager.h"

#include <filesystem>

#include "CBGeoData/CBCoordinatePathValueTransformer.h"
#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoEntityRegistry.h"
#include "CBGeoData/CBGeoObject+BookmarkAdditions.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CBGeoData/CBGeoTag.h"
#include "CBGeoData/NSManagedObject+CBDuplicationMethods.h"
#include "CoreData/NSPredicate.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSAssert.h"
#include "Foundation/NSDateFormatter.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSValueTransformer.h"
#include "mapkit/CBBasicAnnotation.h"
#include "model/CBPlaceTexts.h"
#include "packages/CBDamagedStore.h"
#include "packages/CBMapStoreIdentifier.h"

namespace {

// A pin the user keeps without naming it is named after the moment.
std::string nameForThisMoment() {
    return NSDateFormatter::localizedStringFromDateDateStyleTimeStyle(
        NSDate::date(), NSDateFormatterStyle::MediumStyle, NSDateFormatterStyle::ShortStyle);
}

std::optional<std::string> nonEmpty(const std::optional<std::string>& text) {
    return text && !text->empty() ? text : std::nullopt;
}

}  // namespace

CBBookmarksManager::CBBookmarksManager()
    : bookmarksBasePath_(applicationDocumentsDirectory() + "/" + kFolderName) {}

std::shared_ptr<CBBookmarksManager> CBBookmarksManager::create() {
    NSAssert(NSValueTransformer::valueTransformerForName(
                 CBCoordinatePathValueTransformer::defaultTransformerName()),
             "places/CBBookmarksManager",
             "Register CBCoordinatePathValueTransformer before any geo store is opened.");
    CBGeoEntityRegistry::registerClasses();
    std::shared_ptr<CBBookmarksManager> manager(new CBBookmarksManager());
    std::error_code ignored;
    std::filesystem::create_directories(manager->bookmarksBasePath_, ignored);
    return manager;
}

std::optional<std::string> CBBookmarksManager::storePathForMapWithIdentifier(
    const std::optional<std::string>& identifier) const {
    if (!CBMapStoreIsValidIdentifier(identifier))
        return std::nullopt;
    return bookmarksBasePath_ + "/" + *identifier + ".sqlite";
}

CBBookmarksManager::StoreState CBBookmarksManager::setupForMapWithIdentifier(
    const std::optional<std::string>& identifier) {
    saveChanges();
    releaseCoreDataStack();
    mapIdentifier_.reset();
    storeState_ = StoreState::Closed;
    const auto path = storePathForMapWithIdentifier(identifier);
    if (!path) {
        if (identifier)
            NSLogWithLevel(NSLogLevel::Error, "Kelvara: no bookmarks for the map identifier \"%s\"",
                           identifier->c_str());
        return storeState_;
    }
    std::error_code ignored;
    std::filesystem::create_directories(bookmarksBasePath_, ignored);
    mapIdentifier_ = identifier;
    if (!addPersistentStoreCoordinatorWithPath(*path)) {
        // Nothing is lost: the damaged file stays beside the new store.
        releaseCoreDataStack();
        auto kept = CBDamagedStore::setAsideStoreAtPath(*path, "the bookmarks of " + *identifier);
        if (kept && addPersistentStoreCoordinatorWithPath(*path)) {
            setAsideStore_ = std::move(kept);
            storeState_ = StoreState::Open;
            return storeState_;
        }
        NSLogWithLevel(NSLogLevel::Error, "Kelvara: the bookmarks of %s cannot be read from %s",
                       identifier->c_str(), path->c_str());
        storeState_ = StoreState::Unreadable;
        return storeState_;
    }
    storeState_ = StoreState::Open;
    return storeState_;
}

bool CBBookmarksManager::isBookmarkObject(const std::shared_ptr<CBGeoObject>& object) {
    auto context = managedObjectContext();
    return object && context && object->managedObjectContext() == context;
}

std::shared_ptr<CBGeoSearchResult> CBBookmarksManager::searchResultObjectForGeoObject(
    const std::shared_ptr<CBGeoObject>& object) {
    auto result = CBGeoSearchResult::geoSearchResultWithObject(object);
    if (result && isBookmarkObject(object) && object->isHighway()) {
        const auto addresses = object->addresses();
        if (!addresses.empty())
            result->setAddress(addresses.front());
    }
    return result;
}

bool CBBookmarksManager::hasBookmarkForSearchResult(
    const std::shared_ptr<CBGeoSearchResult>& result) {
    return findSimilarObjectToObjectFromOtherContext(result) != nullptr;
}

bool CBBookmarksManager::hasBookmarkForObject(const std::shared_ptr<CBGeoObject>& object) {
    return hasBookmarkForSearchResult(searchResultObjectForGeoObject(object));
}

std::shared_ptr<NSPredicate> CBBookmarksManager::predicateForSimilarObjectTo(
    const std::shared_ptr<CBGeoSearchResult>& result) {
    if (result && result->object() && !result->address() && result->object()->isHighway()) {
        const auto& object = result->object();
        const auto typeID = object->typeID();
        const auto name = object->canonicalName();
        return NSPredicate::predicateWithFormat(
            "typeID = %@ AND canonicalName = %@ AND addresses.@count = 0",
            {typeID ? Value(*typeID) : Value(), name ? Value(*name) : Value()});
    }
    return CBGeoDataManager::predicateForSimilarObjectTo(result);
}

std::shared_ptr<CBGeoObject> CBBookmarksManager::addBookmarkForObject(
    const std::shared_ptr<CBGeoObject>& object) {
    auto context = managedObjectContext();
    if (!object || !context || storeState_ != StoreState::Open ||
        object->managedObjectContext() == context)
        return nullptr;
    auto bookmark = object->duplicateToManagedContext(context);
    if (!bookmark)
        return nullptr;
    if (!object->isHighway()) {
        // The link to the street object stays behind in the map's store:
        // its name goes along as the address's street.
        const auto copies = bookmark->addresses();
        for (const auto& source : object->addresses()) {
            auto street = source->streetObject();
            auto streetName = street ? street->name() : std::nullopt;
            if (!streetName || source->street())
                continue;
            for (const auto& copy : copies)
                if (!copy->street() && copy->houseNumber() == source->houseNumber() &&
                    copy->coordinate().latitude == source->coordinate().latitude &&
                    copy->coordinate().longitude == source->coordinate().longitude)
                    copy->setValueForKey("street", Value(*streetName));
        }
    }
    bookmark->addTag(CBGeoTag::tagWithKeyAndAttributeInContext(
        std::string(kOriginalCanonicalNameKey), object->canonicalName(), context));
    if (!nonEmpty(bookmark->firstLetterOfName())) {
        // An unnamed place is filed under what it is.
        auto typeTag = bookmark->displayTypeTag();
        const Value translations(tagTranslationDictionary());
        auto kind =
            typeTag ? typeTag->translatedAttributeFromDictionary(&translations) : std::nullopt;
        if (kind && !kind->empty()) {
            bookmark->setValueForKey("firstLetterOfName", Value(CBFirstCharacterOfText(*kind)));
            bookmark->setValueForKey("name", Value(*kind));
            bookmark->setValueForKey("displayName", Value());
            bookmark->setTitle(std::nullopt);
        }
    }
    saveChanges();
    return bookmark;
}

std::shared_ptr<CBGeoObject> CBBookmarksManager::addBookmarkForSearchResult(
    const std::shared_ptr<CBGeoSearchResult>& result) {
    if (!result)
        return nullptr;
    auto bookmark = addBookmarkForObject(result->object());
    const auto& address = result->address();
    if (!bookmark || !address)
        return bookmark;
    // A place's own addresses came along with it; a street keeps the one it
    // was found at.
    for (const auto& copied : bookmark->addresses())
        if (copied->houseNumber() == address->houseNumber() &&
            copied->streetName() == address->streetName())
            return bookmark;
    if (auto copy = std::dynamic_pointer_cast<CBGeoAddress>(
            ::duplicateToManagedContext(*address, managedObjectContext()))) {
        if (!copy->street())
            if (auto street = address->streetName())
                copy->setValueForKey("street", Value(*street));
        bookmark->addAddress(copy);
        saveChanges();
    }
    return bookmark;
}

std::shared_ptr<CBGeoObject> CBBookmarksManager::addBookmarkFromAnnotation(
    const CBAnnotationRef& annotation) {
    auto context = managedObjectContext();
    if (!annotation || !context || storeState_ != StoreState::Open)
        return nullptr;
    auto object = CBGeoObject::objectInContextAtCoordinate(context, annotation->coordinate());
    if (!object)
        return nullptr;
    object->updateNameAndCanonicalNameForString(
        nonEmpty(annotation->title()).value_or(nameForThisMoment()));
    // A pin of our own always has a note, empty until the user writes one.
    auto pin = std::dynamic_pointer_cast<CBBasicAnnotation>(annotation);
    if (auto note = annotation->subtitle(); note || pin)
        object->addTag(
            CBGeoTag::tagWithKeyAndAttributeInContext(std::string("kelvara:desc"), note, context));
    if (auto item = std::dynamic_pointer_cast<CBMapItemAnnotation>(annotation);
        item && item->mapItem()) {
        const MKMapItem& mapItem = *item->mapItem();
        if (const auto& phone = mapItem.phoneNumber(); phone && !phone->empty())
            object->addTag(
                CBGeoTag::tagWithKeyAndAttributeInContext(std::string("phone"), phone, context));
        if (const auto& url = mapItem.url())
            object->addTag(CBGeoTag::tagWithKeyAndAttributeInContext(
                std::string("url"), url->absoluteString(), context));
        const auto& placemark = mapItem.placemark();
        if (const auto& fields = placemark.addressDictionary()) {
            auto address = CBGeoAddress::addressAtCoordinateForObjectInContext(object->coordinate(),
                                                                               object, context);
            auto copyField = [&](const char* from, const char* to) {
                auto found = fields->find(from);
                if (found != fields->end())
                    if (const std::string* text = found->second.stringValue())
                        address->setValueForKey(to, Value(*text));
            };
            copyField("City", "city");
            copyField("Thoroughfare", "street");
            copyField("ZIP", "zipCode");
        }
    }
    object->calculateFirstLetterOfName();
    setIsUserGeneratedBookmark(*object);
    saveChanges();
    return object;
}

void CBBookmarksManager::deleteBookmarkForSearchResult(
    const std::shared_ptr<CBGeoSearchResult>& result) {
    if (!result || !result->object())
        return;
    auto bookmark = result;
    if (!isBookmarkObject(result->object()))
        bookmark = findSimilarObjectToObjectFromOtherContext(result);
    if (!bookmark || !isBookmarkObject(bookmark->object()))
        return;
    deleteBookmarkTellingDelegate(bookmark);
}

void CBBookmarksManager::deleteBookmark(const std::shared_ptr<CBGeoObject>& bookmark) {
    if (!isBookmarkObject(bookmark))
        return;
    deleteBookmarkTellingDelegate(CBGeoSearchResult::geoSearchResultWithObject(bookmark));
}

void CBBookmarksManager::deleteBookmarkTellingDelegate(
    const std::shared_ptr<CBGeoSearchResult>& bookmark) {
    if (auto delegate = bookmarkDelegate())
        delegate->bookmarkManagerWillDeleteBookmark(*this, bookmark);
    deleteObjectsRelatedToBookmark(bookmark->object());
    if (auto context = managedObjectContext())
        context->deleteObject(bookmark->object());
    scheduleDeletionSave();
}

void CBBookmarksManager::deleteObjectsRelatedToBookmark(
    const std::shared_ptr<CBGeoObject>& bookmark) {
    auto context = managedObjectContext();
    if (!bookmark || !context)
        return;
    for (const auto& address : bookmark->addresses())
        context->deleteObject(address);
    for (const auto& element : bookmark->elements())
        context->deleteObject(element);
    for (const auto& tag : bookmark->tags())
        context->deleteObject(tag);
}

// Going to the background, quitting and switching maps save at once as well.
void CBBookmarksManager::scheduleDeletionSave() {
    std::weak_ptr<CBCoreDataManager> weak = weak_from_this();
    DispatchQueue::main()->after(kDeletionSaveDelay, [weak] {
        if (auto manager = weak.lock())
            manager->saveChanges();
    });
}

std::optional<CBGeoDataManager::SearchResults>
CBBookmarksManager::arrayWithGeoSearchResultsForGeoSearchRequestAndGeoObjects(
    const std::shared_ptr<CBGeoSearchRequest>& request, const std::optional<Objects>& objects,
    bool includeAddresses) {
    auto results = CBGeoDataManager::arrayWithGeoSearchResultsForGeoSearchRequestAndGeoObjects(
        request, objects, includeAddresses);
    if (results)
        for (const auto& result : *results)
            if (result && !result->address() && result->object()) {
                const auto addresses = result->object()->addresses();
                if (!addresses.empty())
                    result->setAddress(addresses.front());
            }
    return results;
}
