// The rows of the place screen: their cells, heights and what a tap does.
#include <algorithm>

#include "CBGeoData/CBGeoAddress.h"
#include "CBGeoData/CBGeoDataManager.h"
#include "CBGeoData/CBGeoObject+BookmarkAdditions.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoRelation.h"
#include "CBGeoData/CBGeoSearchResult.h"
#include "CBGeoData/CBGeoTag.h"
#include "Foundation/NSBundle.h"
#include "UIKit/NSString+UIKit.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITableView.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "mapkit/CBBasicAnnotation.h"
#include "model/CBCurrentMap.h"
#include "model/CBPlaceTexts.h"
#include "places/CBCellWithMultilineLabel.h"
#include "places/CBGeoObjectAdressesTable.h"
#include "places/CBGeoObjectDetailVC.h"
#include "places/CBGeoObjectNearbyPOITable.h"
#include "places/CBGeoRelationDetailVC.h"
#include "places/CBPlaceIcons.h"
#include "places/CBPlacesHost.h"
#include "uiadditions/UIApplication+SafeURL.h"
#include "widgets/CBCellWithCopyableLabel.h"
#include "widgets/CBCopyableLabel.h"
#include "widgets/UIImage+ZELResize.h"

namespace {

// Texts of the shrinking rows get no smaller than this share of their font.
constexpr CGFloat kShrinkScale = 0.7;
constexpr CGFloat kRowHeight = 44;
constexpr CGFloat kNameSectionFooterHeight = 25;
constexpr CGFloat kCoordinateFooterHeight = 44;
constexpr CGFloat kDescriptionFontSize = 16;
constexpr CGFloat kDescriptionWidth = 250;
constexpr CGFloat kDescriptionHeightLimit = 300;
constexpr CGFloat kDescriptionPadding = 10;

void shrinkToFit(UILabel& label) {
    label.setAdjustsFontSizeToFitWidth(true);
    label.setMinimumScaleFactor(kShrinkScale);
}

std::string attributeText(CBGeoObject& object, const char* key) {
    return CBTextForDisplay(object.getAttributeOfTagForKey(key).value_or(""));
}

}  // namespace

std::shared_ptr<CBGeoTag> CBGeoObjectDetailVC::tagForRow(long row) const {
    return row >= 0 && size_t(row) < sortedTags_.size() ? sortedTags_[size_t(row)] : nullptr;
}

void CBGeoObjectDetailVC::setMaskedIcon(UITableViewCell& cell, const UIImageRef& image) {
    CBSetMaskedIconOfCell(cell, image, view()->tintColor());
}

const Value& CBGeoObjectDetailVC::tagTranslations() {
    if (!tagTranslations_)
        tagTranslations_ = dataManager_ ? Value(dataManager_->tagTranslationDictionary()) : Value();
    return *tagTranslations_;
}

std::string CBGeoObjectDetailVC::tagValueText(CBGeoTag& tag) {
    return CBTextForDisplay(tag.translatedAttributeFromDictionary(&tagTranslations()).value_or(""));
}

std::string CBGeoObjectDetailVC::tagKeyText(CBGeoTag& tag) {
    return CBTextForDisplay(tag.translatedKeyFromDictionary(&tagTranslations()).value_or(""));
}

std::string CBGeoObjectDetailVC::addressText() {
    std::shared_ptr<CBGeoAddress> address = object_ ? object_->address() : nullptr;
    if (!address && displayObject_) {
        const auto addresses = displayObject_->addresses();
        if (!addresses.empty())
            address = addresses.front();
    }
    if (!address)
        return "";
    // The street line and the town line, each as a line of its own.
    std::string text = address->formattedStringWithCityFallback(
        currentMap_ ? currentMap_->cityName() : std::nullopt);
    const size_t split = text.find('\r');
    if (split == std::string::npos)
        return CBTextForDisplay(text);
    return CBTextForDisplay(text.substr(0, split)) + "\n" +
           CBTextForDisplay(text.substr(split + 1));
}

// Cells are kept per position: one made for a row is never shown at another.
std::shared_ptr<UITableViewCell> CBGeoObjectDetailVC::makeCellForSection(
    int type, const NSIndexPath& indexPath) {
    const std::string identifier =
        "Cell-" + std::to_string(indexPath.section) + "-" + std::to_string(indexPath.row);
    switch (type) {
        case kSectionTags: {
            auto tag = tagForRow(indexPath.row);
            return CBCellWithMultilineLabel::create(tag && !tagKeyText(*tag).empty()
                                                        ? UITableViewCellStyleSubtitle
                                                        : UITableViewCellStyleDefault,
                                                    identifier);
        }
        case kSectionTopTableTags:
        case kSectionTopTableRatings:
            return makeTopTableCell(type, indexPath, identifier);
        case kSectionAddress:
            return CBCellWithMultilineLabel::create(UITableViewCellStyleSubtitle, identifier);
        case kSectionPhone:
        case kSectionEmail:
        case kSectionWeb:
            return CBCellWithCopyableLabel::create(UITableViewCellStyleSubtitle, identifier);
        case kSectionName:
            return CBCellWithCopyableLabel::create(UITableViewCellStyleDefault, identifier);
        case kSectionNearbyStops:
            return std::make_shared<UITableViewCell>(UITableViewCellStyleSubtitle, identifier);
        default:
            return std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, identifier);
    }
}

std::shared_ptr<UITableViewCell> CBGeoObjectDetailVC::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& indexPath) {
    const std::string identifier =
        "Cell-" + std::to_string(indexPath.section) + "-" + std::to_string(indexPath.row);
    auto cell = table.dequeueReusableCellWithIdentifier(identifier);
    if (!cell)
        cell = makeCellForSection(typeForSection(indexPath.section), indexPath);
    configureCellAtIndex(*cell, indexPath);
    return cell;
}

// Every setting a row's kind needs is made here, on every fill, so a cell
// that showed another kind of row before shows this one rightly.
void CBGeoObjectDetailVC::configureCellAtIndex(UITableViewCell& cell,
                                               const NSIndexPath& indexPath) {
    cell.imageView()->setImage(nullptr);
    cell.imageView()->setHighlightedImage(nullptr);
    cell.setAccessoryView(nullptr);
    cell.setAccessoryType(UITableViewCellAccessoryNone);
    cell.setSelectionStyle(UITableViewCellSelectionStyleNone);
    UILabel& text = *cell.textLabel();
    text.setNumberOfLines(1);
    text.setLineBreakMode(NSLineBreakByTruncatingTail);
    text.setAdjustsFontSizeToFitWidth(false);
    text.setTextColor(UIColor::blackColor());
    text.setFont(UIFont::systemFontOfSize(17));
    if (auto detail = cell.detailTextLabel())
        detail->setFont(UIFont::systemFontOfSize(12));
    auto* multiline = dynamic_cast<CBCellWithMultilineLabel*>(&cell);
    auto setIcon = [this, &cell](const UIImageRef& image) { setMaskedIcon(cell, image); };
    auto setTagIcon = [&](const char* key) {
        if (auto icon = CBIconForTag(displayObject_ ? displayObject_->getTagForKey(key) : nullptr))
            setIcon(icon);
    };
    // A contact of the place: its value over what it is, tappable where the
    // desktop can act on it.
    auto contactRow = [&](const std::string& kind, const char* key, bool actionable) {
        cell.detailTextLabel()->setText(kind);
        text.setText(attributeText(*displayObject_, key));
        shrinkToFit(text);
        setTagIcon(key);
        if (actionable)
            cell.setSelectionStyle(UITableViewCellSelectionStyleBlue);
    };
    // Another place, which a tap opens.
    auto placeRow = [&](CBGeoObject& place) {
        text.setText(place.title().value_or(""));
        if (auto icon = CBIconForObject(place))
            setIcon(icon);
        cell.setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
        cell.setSelectionStyle(UITableViewCellSelectionStyleBlue);
    };
    const long row = indexPath.row;
    const int type = typeForSection(indexPath.section);
    if (const auto* routes = routesForSection(type); routes && size_t(row) < routes->size()) {
        text.setText(CBTextForDisplay((*routes)[size_t(row)]->name().value_or("")));
        cell.setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
        cell.setSelectionStyle(UITableViewCellSelectionStyleBlue);
        setIcon(UIImage::imageNamed(type == kSectionBusRoutes     ? "cat_transport"
                                    : type == kSectionFerryRoutes ? "subcat_ferry"
                                                                  : "cat_train"));
        cell.setNeedsLayout();
        return;
    }
    switch (type) {
        case kSectionPlacesAlongStreet:
        case kSectionStreetAddresses:
            text.setText(NSLocalizedString(type == kSectionStreetAddresses ? "Addresses"
                                                                           : "Points of interest"));
            cell.setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
            cell.setSelectionStyle(UITableViewCellSelectionStyleBlue);
            setIcon(UIImage::imageNamed(type == kSectionStreetAddresses ? "address" : "poi"));
            break;
        case kSectionTopTableTags:
        case kSectionTopTableMenus:
        case kSectionTopTableChecklist:
        case kSectionTopTableRatings:
            configureTopTableCell(cell, type, row);
            break;
        case kSectionAddress: {
            const std::string address = addressText();
            cell.detailTextLabel()->setText(NSLocalizedString("Address"));
            cell.detailTextLabel()->setFont(UIFont::systemFontOfSize(14));
            text.setText(address);
            text.setNumberOfLines(0);
            text.setLineBreakMode(NSLineBreakByWordWrapping);
            if (multiline)
                multiline->setFontToFitText(address);
            setIcon(UIImage::imageNamed("address"));
            break;
        }
        case kSectionPhone: {
            // Only a device that calls reacts to the number; a long press
            // still copies it.
            auto application = UIApplication::sharedApplication();
            contactRow(NSLocalizedString("Telephone"), "phone",
                       application && application->canOpenURL("tel:111111"));
            break;
        }
        case kSectionEmail:
            contactRow("Email", "email", MFMailComposeViewController::canSendMail());
            break;
        case kSectionWeb:
            contactRow("Web", "url", webAddressToOpen().has_value());
            break;
        case kSectionName: {
            const auto rows = nameRows();
            if (size_t(row) < rows.size())
                configureNameCell(cell, rows[size_t(row)], row);
            break;
        }
        case kSectionNearbyStops:
            if (size_t(row) < nearbyStops_.size()) {
                auto& stop = *nearbyStops_[size_t(row)];
                placeRow(stop);
                cell.detailTextLabel()->setText(
                    stop.pubTransRouteNamesSeparatedBy(", ").value_or(""));
            }
            break;
        case kSectionPlacesAtAddress:
            if (size_t(row) < POIsAtAddress_.size())
                placeRow(*POIsAtAddress_[size_t(row)]);
            break;
        case kSectionTags:
            if (auto tag = tagForRow(row))
                configureTagCell(cell, tag);
            break;
        default:
            break;
    }
    cell.setNeedsLayout();
}

void CBGeoObjectDetailVC::configureTagCell(UITableViewCell& cell,
                                           const std::shared_ptr<CBGeoTag>& tag) {
    const std::string value = tagValueText(*tag);
    UILabel& text = *cell.textLabel();
    text.setText(value);
    text.setNumberOfLines(0);
    text.setLineBreakMode(NSLineBreakByWordWrapping);
    if (auto detail = cell.detailTextLabel())
        detail->setText(tagKeyText(*tag));
    // Icons that are pictures rather than shapes (flags) are shown as they are.
    if (supportsMaskedIconsForImageWithName(tag->iconImageName().value_or(""))) {
        auto image = CBIconForTag(tag);
        setMaskedIcon(cell, image ? image : UIImage::imageNamed("tag_other"));
    } else {
        cell.imageView()->setImage(CBIconForTag(tag));
    }
    if (auto* multiline = dynamic_cast<CBCellWithMultilineLabel*>(&cell))
        multiline->setFontToFitText(value);
}

std::optional<CGFloat> CBGeoObjectDetailVC::tableViewHeightForRowAtIndexPath(
    UITableView&, const NSIndexPath& indexPath) {
    const int type = typeForSection(indexPath.section);
    switch (type) {
        case kSectionTags:
            if (auto tag = tagForRow(indexPath.row))
                return CBCellWithMultilineLabel::requireHeightForText(tagValueText(*tag));
            return kRowHeight;
        case kSectionTopTableTags:
            return heightForTopTableRow(type, indexPath.row);
        case kSectionAddress:
            return CBCellWithMultilineLabel::requireHeightForTextWithBoldText(addressText(), true);
        case kSectionName: {
            const auto rows = nameRows();
            if (size_t(indexPath.row) >= rows.size() ||
                rows[size_t(indexPath.row)] != NameRow::Description)
                return kRowHeight;
            std::string note;
            if (bookmark_ && bookmark_->object())
                note = bookmarkDescription(*bookmark_->object()).value_or("");
            else if (annotationForNewBookmark_)
                note = annotationForNewBookmark_->subtitle().value_or("");
            if (note.empty())
                return kRowHeight;
            NSStringDrawingAttributes attributes;
            attributes.font = UIFont::systemFontOfSize(kDescriptionFontSize);
            const CGRect measured = boundingRectWithSizeOptionsAttributes(
                note, {kDescriptionWidth, kDescriptionHeightLimit},
                NSStringDrawingUsesLineFragmentOrigin | NSStringDrawingUsesFontLeading, attributes);
            return std::max(measured.size.height + kDescriptionPadding, kRowHeight);
        }
        default:
            return kRowHeight;
    }
}

std::optional<CGFloat> CBGeoObjectDetailVC::tableViewHeightForFooterInSection(UITableView&,
                                                                              long section) {
    const bool last = section + 1 == long(sectionTypes_.size());
    if (last && !(displayObject_ && displayObject_->isHighway()))
        return kCoordinateFooterHeight;
    if (typeForSection(section) == kSectionName)
        return kNameSectionFooterHeight;
    return std::nullopt;
}

// Under the last section: the place's coordinate, which a long press copies.
std::shared_ptr<UIView> CBGeoObjectDetailVC::tableViewViewForFooterInSection(UITableView& table,
                                                                             long section) {
    if (section + 1 != long(sectionTypes_.size()) ||
        (displayObject_ && displayObject_->isHighway()))
        return nullptr;
    CLLocationCoordinate2D coordinate{};
    if (annotationForNewBookmark_)
        coordinate = annotationForNewBookmark_->coordinate();
    else if (displayObject_)
        coordinate = displayObject_->coordinate();
    else if (object_)
        coordinate = object_->coordinate();
    else
        return nullptr;
    auto label = CBCopyableLabel::create(
        CGRectMake(0, 0, table.bounds().size.width, kCoordinateFooterHeight));
    label->setTextColor(UIColor::darkGrayColor());
    label->setShadowColor(UIColor::whiteColor());
    label->setShadowOffset({0, 1});
    label->setBackgroundColor(UIColor::clearColor());
    label->setFont(UIFont::systemFontOfSize(16));
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setText(stringWithCoordinate(coordinate));
    return label;
}

std::optional<std::string> CBGeoObjectDetailVC::webAddressToOpen() {
    auto attribute = displayObject_ ? displayObject_->getAttributeOfTagForKey("url") : std::nullopt;
    return attribute ? CBWebAddressForTagAttribute(*attribute) : std::nullopt;
}

void CBGeoObjectDetailVC::tableViewDidSelectRowAtIndexPath(UITableView& table,
                                                           const NSIndexPath& indexPath) {
    table.deselectRowAtIndexPathAnimated(indexPath, true);
    std::optional<std::string> url;
    const size_t row = size_t(indexPath.row);
    const int type = typeForSection(indexPath.section);
    if (const auto* routes = routesForSection(type)) {
        if (row < routes->size())
            openDetailForRelation((*routes)[row]);
        return;
    }
    switch (type) {
        case kSectionPlacesAlongStreet: {
            auto places = std::make_shared<CBGeoObjectNearbyPOITable>(host_, currentMap_);
            places->setObject(displayObject_);
            places->setIsOnMap(isOnMap_);
            places->setDataManager(dataManager_);
            if (auto navigation = navigationController())
                navigation->pushViewControllerAnimated(places, true);
            break;
        }
        case kSectionStreetAddresses: {
            auto addresses = std::make_shared<CBGeoObjectAdressesTable>(host_);
            addresses->setObject(displayObject_);
            addresses->setIsOnMap(isOnMap_);
            if (auto navigation = navigationController())
                navigation->pushViewControllerAnimated(addresses, true);
            break;
        }
        case kSectionTopTableTags:
        case kSectionTopTableMenus:
        case kSectionTopTableChecklist:
        case kSectionTopTableRatings:
            selectTopTableRow(type, long(row));
            break;
        case kSectionPhone:
            if (auto phone = displayObject_->getAttributeOfTagForKey("phone")) {
                std::string number = *phone;
                number.erase(std::remove(number.begin(), number.end(), ' '), number.end());
                url = "tel:" + number;
            }
            break;
        case kSectionEmail:
            if (auto address = displayObject_->getAttributeOfTagForKey("email"))
                sendEmailTo(*address);
            break;
        case kSectionWeb:
            url = webAddressToOpen();
            break;
        case kSectionName: {
            const auto rows = nameRows();
            if (row < rows.size())
                selectNameRow(rows[row]);
            break;
        }
        case kSectionNearbyStops:
            if (row < nearbyStops_.size())
                openDetailForObject(nearbyStops_[row]);
            break;
        case kSectionPlacesAtAddress:
            if (row < POIsAtAddress_.size())
                openDetailForObject(POIsAtAddress_[row]);
            break;
        default:
            break;
    }
    // Only what the desktop can open is handed to it ("tel:" is not).
    if (url)
        openURLSafe_zel(UIApplication::sharedApplication(), url);
}

void CBGeoObjectDetailVC::openDetailForObject(const std::shared_ptr<CBGeoObject>& object) {
    auto next = initWithDefaultNib(host_, currentMap_);
    next->setObject(CBGeoSearchResult::geoSearchResultWithObject(object));
    next->setIsOnMap(isOnMap_);
    next->setDataManager(dataManager_);
    if (auto navigation = navigationController())
        navigation->pushViewControllerAnimated(next, true);
}

void CBGeoObjectDetailVC::openDetailForRelation(const std::shared_ptr<CBGeoRelation>& relation) {
    auto next = CBGeoRelationDetailVC::initWithDefaultNib(host_, currentMap_);
    next->setRelation(relation);
    next->setIsOnMap(isOnMap_);
    next->setDataManager(dataManager_);
    if (auto navigation = navigationController())
        navigation->pushViewControllerAnimated(next, true);
}

void CBGeoObjectDetailVC::sendEmailTo(const std::string& address) {
    if (!MFMailComposeViewController::canSendMail())
        return;
    auto mail = std::make_shared<MFMailComposeViewController>();
    mail->setMailComposeDelegate(self());
    mail->setToRecipients({address});
    presentViewControllerAnimatedCompletion(mail, true, nullptr);
}

void CBGeoObjectDetailVC::mailComposeControllerDidFinishWithResultError(
    MFMailComposeViewController&, MFMailComposeResult, const std::optional<NSError>&) {
    dismissViewControllerAnimatedCompletion(true, nullptr);
}
