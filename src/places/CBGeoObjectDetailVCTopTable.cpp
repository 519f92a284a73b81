// The place screen of a restaurant of the map's restaurant guide: its
// ratings and checklist that open and close, its description and menus,
// and booking a table on the guide's web page or by its hotline.
#include <cctype>
#include <cstdlib>

#include "CBGeoData/CBGeoObject+TTAdditions.h"
#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSStringFormat.h"
#include "Net/NSURL.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationBar.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UITableView.h"
#include "model/CBPlaceTexts.h"
#include "model/CBTopTableEndpoints.h"
#include "places/CBCellWithMultilineLabel.h"
#include "places/CBGeoObjectDetailVC.h"
#include "places/CBPlaceIcons.h"
#include "places/CBTopTableMenusVC.h"
#include "uiadditions/UIApplication+SafeURL.h"
#include "widgets/CBRatingTableCell.h"
#include "widgets/CBTextViewController.h"
#include "widgets/CBWebBrowser.h"
#include "widgets/ZELRoundedGradientButton.h"

namespace {

constexpr CGFloat kDescriptionRowHeight = 66;
constexpr long kDescriptionLines = 3;
constexpr CGFloat kGuideTagShrinkScale = 0.8;
constexpr CGRect kBookButtonFrame{{20, 10}, {92, 28}};
constexpr long kBookButtonStyle = 2;
constexpr CGFloat kBookButtonFontSize = 13;
// The booking alert's buttons after Cancel, by the venue's booking status.
constexpr int kBookableStatus = 1;
constexpr int kHotlineOnlyStatus = 2;

// The number a rating text starts with, as the guide writes it ("4.5");
// anything else (no number, "nan", "inf") rates 0.
float ratingFromText(const std::optional<std::string>& text) {
    if (!text)
        return 0;
    const char* start = text->c_str();
    while (*start == ' ')
        ++start;
    if (!(std::isdigit(static_cast<unsigned char>(*start)) || *start == '.' || *start == '-' ||
          *start == '+'))
        return 0;
    return std::strtof(start, nullptr);
}

std::shared_ptr<UIImageView> arrowView(bool expanded) {
    return std::make_shared<UIImageView>(UIImage::imageNamed(expanded ? "arrow_up" : "arrow_down"));
}

}  // namespace

std::shared_ptr<CBGeoTag> CBGeoObjectDetailVC::topTableTagForRow(long row) const {
    return row >= 0 && size_t(row) < sortedTopTableTags_.size() ? sortedTopTableTags_[size_t(row)]
                                                                : nullptr;
}

std::shared_ptr<UITableViewCell> CBGeoObjectDetailVC::makeTopTableCell(
    int type, const NSIndexPath& indexPath, const std::string& identifier) {
    if (type == kSectionTopTableRatings)
        return std::make_shared<CBRatingTableCell>(UITableViewCellStyleSubtitle, identifier);
    auto tag = topTableTagForRow(indexPath.row);
    return CBCellWithMultilineLabel::create(tag && !tagKeyText(*tag).empty()
                                                ? UITableViewCellStyleSubtitle
                                                : UITableViewCellStyleDefault,
                                            identifier);
}

void CBGeoObjectDetailVC::configureTopTableCell(UITableViewCell& cell, int type, long row) {
    UILabel& text = *cell.textLabel();
    switch (type) {
        case kSectionTopTableTags: {
            auto tag = topTableTagForRow(row);
            if (!tag)
                break;
            const bool description = tag->key() == kTopTableDescriptionKey;
            auto* multiline = dynamic_cast<CBCellWithMultilineLabel*>(&cell);
            if (multiline)
                multiline->setBold(!description);
            configureTagCell(cell, tag);
            text.setAdjustsFontSizeToFitWidth(true);
            text.setMinimumScaleFactor(kGuideTagShrinkScale);
            if (description) {
                text.setNumberOfLines(kDescriptionLines);
                text.setLineBreakMode(NSLineBreakByTruncatingTail);
                cell.setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
                cell.setSelectionStyle(UITableViewCellSelectionStyleBlue);
            }
            break;
        }
        case kSectionTopTableMenus:
            text.setText(NSLocalizedString("ViewMenusTitle"));
            cell.setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
            cell.setSelectionStyle(UITableViewCellSelectionStyleBlue);
            setMaskedIcon(cell, UIImage::imageNamed("tt_icon_menu"));
            break;
        case kSectionTopTableChecklist:
            cell.setSelectionStyle(UITableViewCellSelectionStyleBlue);
            if (row == 0) {
                text.setText(NSLocalizedString("TTChecklistHeading"));
                setMaskedIcon(cell, UIImage::imageNamed("tt_icon_checklist"));
                cell.setAccessoryView(arrowView(showsChecklist_));
            } else if (size_t(row) <= sortedTopTableChecklist_.size()) {
                auto& item = sortedTopTableChecklist_[size_t(row) - 1];
                text.setText(tagValueText(*item));
                setMaskedIcon(cell, CBIconForTag(item));
            }
            break;
        case kSectionTopTableRatings: {
            cell.setSelectionStyle(UITableViewCellSelectionStyleBlue);
            auto* stars = dynamic_cast<CBRatingTableCell*>(&cell);
            if (row == 0) {
                cell.detailTextLabel()->setText(NSLocalizedFormat(
                    "OverallRatingFormat",
                    {CBTextForDisplay(ratingCount(*displayObject_).value_or(""))}));
                if (stars)
                    stars->setRating(ratingFromText(overallRating(*displayObject_)));
                cell.setAccessoryView(arrowView(showsRatings_));
            } else if (size_t(row) <= sortedTopTableRating_.size()) {
                auto& rating = sortedTopTableRating_[size_t(row) - 1];
                cell.detailTextLabel()->setText(tagKeyText(*rating));
                if (stars)
                    stars->setRating(ratingFromText(rating->attribute()));
                setMaskedIcon(cell, CBIconForTag(rating));
            }
            break;
        }
        default:
            break;
    }
}

std::optional<CGFloat> CBGeoObjectDetailVC::heightForTopTableRow(int, long row) {
    auto tag = topTableTagForRow(row);
    if (!tag)
        return std::nullopt;
    if (tag->key() == kTopTableDescriptionKey)
        return kDescriptionRowHeight;
    return CBCellWithMultilineLabel::requireHeightForTextWithBoldText(tagValueText(*tag), true);
}

void CBGeoObjectDetailVC::selectTopTableRow(int type, long row) {
    switch (type) {
        case kSectionTopTableTags:
            if (auto tag = topTableTagForRow(row); tag && tag->key() == kTopTableDescriptionKey)
                openTTDescription(tag);
            break;
        case kSectionTopTableMenus:
            openTTMenus();
            break;
        case kSectionTopTableChecklist:
            toggleChecklist();
            break;
        case kSectionTopTableRatings:
            toggleRatings();
            break;
        default:
            break;
    }
}

void CBGeoObjectDetailVC::toggleRatings() {
    toggleRowsOfSection(kSectionTopTableRatings, showsRatings_, sortedTopTableRating_.size());
}

void CBGeoObjectDetailVC::toggleChecklist() {
    toggleRowsOfSection(kSectionTopTableChecklist, showsChecklist_,
                        sortedTopTableChecklist_.size());
}

void CBGeoObjectDetailVC::toggleRowsOfSection(int type, bool& shown, size_t count) {
    const auto section = indexForSectionType(type);
    if (!section)
        return;
    shown = !shown;
    const NSIndexPath first = NSIndexPath::indexPathForRowInSection(0, *section);
    if (auto cell = tableView_->cellForRowAtIndexPath(first))
        configureCellAtIndex(*cell, first);
    std::vector<NSIndexPath> rows;
    for (size_t row = 1; row <= count; ++row)
        rows.push_back(NSIndexPath::indexPathForRowInSection(long(row), *section));
    if (shown)
        tableView_->insertRowsAtIndexPathsWithRowAnimation(rows, UITableViewRowAnimationTop);
    else
        tableView_->deleteRowsAtIndexPathsWithRowAnimation(rows, UITableViewRowAnimationTop);
}

void CBGeoObjectDetailVC::openTTDescription(const std::shared_ptr<CBGeoTag>& tag) {
    if (!tag)
        return;
    auto text = std::make_shared<CBTextViewController>();
    text->setTitle(NSLocalizedString("Description"));
    text->setText(tag->attribute());
    if (auto navigation = navigationController())
        navigation->pushViewControllerAnimated(text, true);
}

void CBGeoObjectDetailVC::openTTMenus() {
    auto menus = CBTopTableMenusVC::initWithDefaultStyle();
    menus->setVenue(displayObject_);
    if (auto navigation = navigationController())
        navigation->pushViewControllerAnimated(menus, true);
}

std::shared_ptr<UIView> CBGeoObjectDetailVC::bookingButtonForVenue() {
    if (!displayObject_ || !isTopTableObject(*displayObject_) ||
        bookingStatus(*displayObject_) == -1)
        return nullptr;
    if (!bookButton_) {
        bookButton_ =
            std::make_shared<ZELRoundedGradientButton>(kBookButtonFrame, kBookButtonStyle);
        bookButton_->setTitleForState(NSLocalizedString("BookTable"), UIControlStateNormal);
        bookButton_->titleLabel()->setAdjustsFontSizeToFitWidth(true);
        bookButton_->titleLabel()->setFont(UIFont::boldSystemFontOfSize(kBookButtonFontSize));
        std::weak_ptr<CBGeoObjectDetailVC> weak = self();
        bookButton_->addTargetForControlEvents(
            [weak](UIControl&) {
                if (auto me = weak.lock())
                    me->bookTopTable();
            },
            UIControlEventTouchUpInside);
    }
    return bookButton_;
}

void CBGeoObjectDetailVC::bookTopTable() {
    if (!displayObject_)
        return;
    std::vector<std::string> choices;
    switch (bookingStatus(*displayObject_)) {
        case kBookableStatus:
            choices = {NSLocalizedString("BookOnline"), NSLocalizedString("BookHotline")};
            break;
        case kHotlineOnlyStatus:
            choices = {NSLocalizedString("BookHotline")};
            break;
        default:
            break;
    }
    alert_ = std::make_shared<UIAlertView>(
        NSLocalizedString("BookTableTitle"), NSLocalizedString("BookTableMessage"), self(),
        std::optional<std::string>(NSLocalizedString("Cancel")), choices);
    alert_->show();
}

// button: 1 for the first choice after Cancel.
void CBGeoObjectDetailVC::topTableAlertDismissedWithButton(long button) {
    if (!displayObject_)
        return;
    const int status = bookingStatus(*displayObject_);
    if (status == kBookableStatus && button == 1)
        topTableBookOnline();
    else if ((status == kBookableStatus && button == 2) ||
             (status == kHotlineOnlyStatus && button == 1))
        topTableBookHotline();
}

void CBGeoObjectDetailVC::topTableBookOnline() {
    const auto venue = displayObject_ ? ttID(*displayObject_) : std::nullopt;
    const auto url = venue ? NSURL::URLWithString(CBTopTableVenuePageURL(*venue)) : std::nullopt;
    if (!url)
        return;
    auto browser = std::make_shared<CBWebBrowser>();
    browser->setOpenLinkInternally(true);
    browser->setShowLoadingScreenAfterFirstLoad(false);
    auto logo = std::make_shared<UIImageView>(UIImage::imageNamed("toptable_logo"));
    logo->setAccessibilityLabel(NSLocalizedString("RestaurantGuide"));
    browser->navigationItem()->setTitleView(logo);
    std::weak_ptr<CBGeoObjectDetailVC> weak = self();
    browser->navigationItem()->setRightBarButtonItem(
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemCancel, [weak](UIBarButtonItem&) {
            if (auto me = weak.lock())
                me->dismissModalViewController();
        }));
    auto navigation = std::make_shared<UINavigationController>(browser);
    navigation->navigationBar()->setTintColor(
        UIColor::colorWithRedGreenBlueAlpha(0.088, 0.69, 0.69, 1));
    presentViewControllerAnimatedCompletion(navigation, true, nullptr);
    browser->loadURL(*url);
}

// The desktop makes no calls: it shows the number to dial instead.
void CBGeoObjectDetailVC::topTableBookHotline() {
    if (openURLSafe_zel(UIApplication::sharedApplication(), CBTopTableHotlineURL()))
        return;
    alert_ = std::make_shared<UIAlertView>(
        NSLocalizedString("TopTableHotlineTitle"), CBTopTableHotlineNumber(),
        std::weak_ptr<UIAlertViewDelegate>(), std::optional<std::string>(NSLocalizedString("OK")));
    alert_->show();
}

void CBGeoObjectDetailVC::dismissModalViewController() {
    dismissViewControllerAnimatedCompletion(true, nullptr);
}
