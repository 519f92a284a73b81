// The place screen's toolbar and the user's own data: the bookmark of the
// place, its title and note, a dropped pin kept as a bookmark, and sharing.
#include <algorithm>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject+BookmarkAdditions.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CBGeoData/CBGeoTag.h"
#include "CBGeoData/CLLocation+CBKelvaraAdditions.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "MapKit/MKMapItem.h"
#include "UIKit/UIActivityViewController.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIPopoverPresentationController.h"
#include "UIKit/UITableView.h"
#include "mapkit/CBBasicAnnotation.h"
#include "model/CBBookmarksManager.h"
#include "model/CBCurrentMap.h"
#include "model/CBPlaceTexts.h"
#include "places/CBBookmarkEditorVC.h"
#include "places/CBGeoObjectDetailVC.h"
#include "places/CBPlaceIcons.h"
#include "widgets/CBCreateAddressBookEntryActivity.h"
#include "widgets/CBScreenToolbar.h"
#include "widgets/ZELActivityOpenInMaps.h"

namespace {

constexpr CGFloat kToolbarButtonWidth = 40;
constexpr CGFloat kToolbarMargin = 10;
constexpr size_t kShareTitleLimit = 100;
constexpr int kShareZoomLevel = 14;
// The title a freshly dropped pin has until the user names it.
constexpr const char* kNewPinTitleKey = "CBTitleForNewAnnotations";

bool isNewPinPlaceholder(const std::optional<std::string>& title) {
    return !title || title->empty() || *title == NSLocalizedString(kNewPinTitleKey);
}

}  // namespace

void CBGeoObjectDetailVC::setupToolbar() {
    std::weak_ptr<CBGeoObjectDetailVC> weak = self();
    auto on = [weak](void (CBGeoObjectDetailVC::*action)()) {
        return [weak, action](UIBarButtonItem&) {
            if (auto me = weak.lock())
                ((*me).*action)();
        };
    };
    std::vector<std::shared_ptr<UIBarButtonItem>> items{
        CBScreenToolbar::fixedSpace(kToolbarMargin)};
    const bool street = object_ && object_->object() && object_->object()->isHighway();
    if (!street) {
        auto share = std::make_shared<UIBarButtonItem>(
            UIBarButtonSystemItemAction, [weak](UIBarButtonItem& item) {
                if (auto me = weak.lock())
                    me->sharePoi(item.shared_from_this());
            });
        share->setWidth(kToolbarButtonWidth);
        share->setAccessibilityLabel(NSLocalizedString("Share"));
        items.push_back(share);
        items.push_back(CBScreenToolbar::flexibleSpace());
    }
    bookmarkButton_ = std::make_shared<UIBarButtonItem>(UIImage::imageNamed("bookmark-add"),
                                                        UIBarButtonItemStylePlain,
                                                        on(&CBGeoObjectDetailVC::toggleBookmark));
    bookmarkButton_->setWidth(kToolbarButtonWidth);
    bookmarkButton_->setAccessibilityLabel(NSLocalizedString("Add bookmark"));
    items.push_back(bookmarkButton_);
    items.push_back(CBScreenToolbar::flexibleSpace());
    auto map = std::make_shared<UIBarButtonItem>(UIImage::imageNamed("button-map-pin"),
                                                 UIBarButtonItemStylePlain,
                                                 on(&CBGeoObjectDetailVC::showOnMap));
    map->setWidth(kToolbarButtonWidth);
    map->setAccessibilityLabel(NSLocalizedString("Show on map"));
    items.push_back(map);
    items.push_back(CBScreenToolbar::fixedSpace(kToolbarMargin));
    setToolbarItems(items);
}

// A bookmark handed over by the opener is the one; otherwise the bookmark
// store is asked for one of this place.
void CBGeoObjectDetailVC::findBookmarkOfPlace() {
    if (bookmark_ && (!object_ || bookmark_ == object_))
        return;
    bookmark_ = bookmarkStoreIsOpen()
                    ? bookmarkManager_->findSimilarObjectToObjectFromOtherContext(object_)
                    : nullptr;
}

bool CBGeoObjectDetailVC::bookmarkStoreIsOpen() const {
    return bookmarkManager_ &&
           bookmarkManager_->storeState() == CBBookmarksManager::StoreState::Open;
}

void CBGeoObjectDetailVC::updateBookmarkStatus() {
    const bool open = bookmarkStoreIsOpen();
    if (bookmarkButton_) {
        bookmarkButton_->setImage(
            UIImage::imageNamed(bookmark_ ? "bookmark-delete" : "bookmark-add"));
        bookmarkButton_->setAccessibilityLabel(
            NSLocalizedString(bookmark_ ? "Delete bookmark" : "Add bookmark"));
        // Without a store of this map's bookmarks nothing can be kept.
        bookmarkButton_->setEnabled(open && object_);
    }
    updateAnnotationColor();
    if (const auto section = indexForSectionType(kSectionName);
        section && tableView_ && tableView_->numberOfSections() > *section)
        tableView_->reloadSectionsWithRowAnimation({*section}, UITableViewRowAnimationAutomatic);
}

void CBGeoObjectDetailVC::toggleBookmark() {
    if (!bookmark_) {
        // The stored bookmark is the place's from now on.
        if (auto added =
                bookmarkManager_ ? bookmarkManager_->addBookmarkForSearchResult(object_) : nullptr)
            bookmark_ = bookmarkManager_->searchResultObjectForGeoObject(added);
        updateBookmarkStatus();
        return;
    }
    alert_ = std::make_shared<UIAlertView>(NSLocalizedString("DeleteBookmarkAlertTitle"),
                                           NSLocalizedString("DeleteBookmarkAlertMessage"), self(),
                                           std::optional<std::string>(NSLocalizedString("Cancel")),
                                           std::vector<std::string>{NSLocalizedString("Delete")});
    alert_->setTag(kDeleteBookmarkAlertTag);
    alert_->show();
}

void CBGeoObjectDetailVC::alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) {
    if (index == alert.cancelButtonIndex())
        return;
    if (alert.tag() == kDeleteBookmarkAlertTag)
        deleteBookmark();
    else
        topTableAlertDismissedWithButton(index - alert.firstOtherButtonIndex() + 1);
}

void CBGeoObjectDetailVC::deleteBookmark() {
    if (!bookmark_ || !bookmarkManager_)
        return;
    auto context = bookmarkManager_->managedObjectContext();
    // The screen goes with the bookmark when it shows nothing else: a place
    // of the user's own, one opened from the list of bookmarks, or a
    // bookmark whose place the map does not have.
    const bool shownFromBookmarkStore =
        object_ && object_->object() && object_->object()->managedObjectContext() == context;
    const bool mustClose = (bookmark_->object() && isUserGeneratedBookmark(*bookmark_->object())) ||
                           openedFromBookmarksTable_ || shownFromBookmarkStore;
    bookmarkManager_->deleteBookmarkForSearchResult(bookmark_);
    bookmark_.reset();
    if (mustClose)
        close();
    else
        updateBookmarkStatus();
}

void CBGeoObjectDetailVC::saveNewBookmark() {
    if (!annotationForNewBookmark_ || !bookmarkManager_)
        return;
    // A pin still called by the placeholder is named after the moment.
    if (isNewPinPlaceholder(annotationForNewBookmark_->title()))
        annotationForNewBookmark_->setTitle(std::nullopt);
    auto saved = bookmarkManager_->addBookmarkFromAnnotation(annotationForNewBookmark_);
    if (!saved) {
        alert_ = std::make_shared<UIAlertView>(NSLocalizedString("BookmarkNotSavedTitle"),
                                               NSLocalizedString("BookmarkNotSavedMessage"),
                                               std::weak_ptr<UIAlertViewDelegate>(),
                                               std::optional<std::string>(NSLocalizedString("OK")));
        alert_->show();
        return;
    }
    displayObject_ = saved;
    bookmark_ = bookmarkManager_->searchResultObjectForGeoObject(saved);
    showOnMap();
}

void CBGeoObjectDetailVC::cancel() {
    close();
}

bool CBGeoObjectDetailVC::isEditableBookmark() {
    return annotationForNewBookmark_ ||
           (bookmark_ && bookmark_->object() && isUserGeneratedBookmark(*bookmark_->object()));
}

void CBGeoObjectDetailVC::configureNameCell(UITableViewCell& cell, NameRow role, long row) {
    UILabel& text = *cell.textLabel();
    const UIColor dark = UIColor::colorWithWhiteAlpha(0.1, 1);
    switch (role) {
        case NameRow::Title: {
            text.setAdjustsFontSizeToFitWidth(true);
            text.setMinimumScaleFactor(0.7);
            if (annotationForNewBookmark_ && !displayObject_) {
                const auto title = annotationForNewBookmark_->title();
                const bool placeholder = isNewPinPlaceholder(title);
                text.setText(placeholder ? NSLocalizedString("Tap to add title")
                                         : CBTextForDisplay(*title));
                text.setTextColor(placeholder ? UIColor::lightGrayColor() : dark);
            } else {
                if (auto icon = CBIconForObject(*displayObject_))
                    setMaskedIcon(cell, icon);
                const auto& address = object_ ? object_->address() : nullptr;
                text.setText(CBTextForDisplay(address && object_->object() == displayObject_
                                                  ? address->shortFormattedString()
                                                  : displayObject_->displayName().value_or("")));
                cell.setAccessoryView(bookingButtonForVenue());
            }
            if (isEditableBookmark()) {
                cell.setSelectionStyle(UITableViewCellSelectionStyleBlue);
                cell.setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
            }
            break;
        }
        case NameRow::Description: {
            std::string note;
            if (bookmark_ && bookmark_->object())
                note = bookmarkDescription(*bookmark_->object()).value_or("");
            else if (annotationForNewBookmark_)
                note = annotationForNewBookmark_->subtitle().value_or("");
            text.setFont(UIFont::systemFontOfSize(16));
            text.setNumberOfLines(0);
            text.setLineBreakMode(NSLineBreakByWordWrapping);
            text.setText(note.empty() ? NSLocalizedString("Tap to add description") : note);
            text.setTextColor(note.empty() ? UIColor::lightGrayColor() : dark);
            cell.setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
            cell.setSelectionStyle(UITableViewCellSelectionStyleBlue);
            break;
        }
        case NameRow::InternationalName: {
            const auto rows = nameRows();
            const long before = long(std::count_if(rows.begin(), rows.begin() + row, [](NameRow r) {
                return r != NameRow::InternationalName;
            }));
            auto names = displayObject_ ? displayObject_->internationalNames() : std::nullopt;
            const long index = row - before;
            if (!names || index < 0 || size_t(index) >= names->size())
                break;
            auto& tag = *(*names)[size_t(index)];
            text.setText(CBTextForDisplay(tag.attribute()));
            text.setAdjustsFontSizeToFitWidth(true);
            text.setMinimumScaleFactor(0.7);
            std::string language = tag.key().substr(tag.key().rfind(':') + 1);
            std::transform(language.begin(), language.end(), language.begin(),
                           [](unsigned char c) { return char(std::tolower(c)); });
            // A language without a flag shows none.
            if (!language.empty() && language.find('/') == std::string::npos &&
                language.find('.') == std::string::npos)
                cell.imageView()->setImage(UIImage::imageNamed("flags/" + language));
            break;
        }
    }
}

void CBGeoObjectDetailVC::selectNameRow(NameRow role) {
    switch (role) {
        case NameRow::Description:
            openEditorForBookmarkDescription(true);
            break;
        case NameRow::Title:
            if (isEditableBookmark())
                openEditorForBookmarkDescription(false);
            break;
        case NameRow::InternationalName:
            break;
    }
}

void CBGeoObjectDetailVC::openEditorForBookmarkDescription(bool description) {
    if (!bookmark_ && !annotationForNewBookmark_)
        return;
    auto editor = CBBookmarkEditorVC::initEditDescription(description);
    if (bookmark_)
        editor->setBookmark(bookmark_->object());
    else
        editor->setAnnotationForNewBookmark(annotationForNewBookmark_);
    if (auto navigation = navigationController())
        navigation->pushViewControllerAnimated(editor, true);
}

UIActivityItems CBGeoObjectDetailVC::itemsForSharing() {
    if (!displayObject_)
        return {};
    std::string title = displayObject_->displayName().value_or("");
    if (title.empty()) {
        if (auto type = displayObject_->displayTypeTag())
            title = type->translatedAttributeFromDictionary(&tagTranslations()).value_or("");
    }
    // A long name is cut at a whole character within the limit.
    if (CBUTF16LengthOfText(title) > kShareTitleLimit)
        title = CBTextPrefixWithinLength(title, kShareTitleLimit) + "...";
    std::string link;
    if (auto location = displayObject_->coreLocation())
        link = kelvara2HTTPUrlForZoomlevelWithTitle(*location, kShareZoomLevel, title);
    UIActivityItems items{title + ":\n\n" + link};
    const CLLocationCoordinate2D where = object_ ? object_->coordinate() : shownCoordinate();
    if (CLLocationCoordinate2DIsValid(where)) {
        MKMapItem item{MKPlacemark(where)};
        item.setName(title);
        items.push_back(item);
    }
    items.push_back(displayObject_);
    return items;
}

void CBGeoObjectDetailVC::sharePoi(const std::shared_ptr<UIBarButtonItem>& sender) {
    if (!displayObject_)
        return;
    auto card = std::make_shared<CBCreateAddressBookEntryActivity>();
    if (currentMap_)
        card->setCityAndCountry(currentMap_->cityName(), currentMap_->country());
    shareSheet_ = std::make_shared<UIActivityViewController>(
        itemsForSharing(),
        std::vector<std::shared_ptr<UIActivity>>{std::make_shared<ZELActivityOpenInMaps>(), card});
    if (auto popover = shareSheet_->popoverPresentationController())
        popover->setBarButtonItem(sender);
    presentViewControllerAnimatedCompletion(shareSheet_, true, nullptr);
}
