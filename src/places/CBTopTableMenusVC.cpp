#include "places/CBTopTableMenusVC.h"

#include "CBGeoData/CBGeoObject+TTAdditions.h"
#include "CBGeoData/CBGeoTag.h"
#include "Foundation/NSBundle.h"
#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationController.h"
#include "foundation/NSUserDefaults+CrashInformation.h"
#include "model/CBPlaceTexts.h"
#include "places/CBPlaceScreens.h"

namespace {

constexpr const char* kCellIdentifier = "Cell";
constexpr CGFloat kFontSize = 16;
constexpr CGFloat kShrinkScale = 0.7;

// The pieces between the separators, left to right, empty ones included:
// "a##b" gives "a" and "b", "##" two empty pieces.
std::vector<std::string> split(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (size_t found = text.find(separator); found != std::string::npos;
         found = text.find(separator, start)) {
        pieces.push_back(text.substr(start, found - start));
        start = found + separator.size();
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

}  // namespace

std::shared_ptr<CBTopTableMenusVC> CBTopTableMenusVC::initWithDefaultStyle() {
    auto screen = std::make_shared<CBTopTableMenusVC>();
    screen->setTitle(NSLocalizedString("MenuTitle"));
    return screen;
}

CBTopTableMenusVC::CBTopTableMenusVC() : UITableViewController(UITableViewStyleGrouped) {}

std::vector<CBTopTableMenusVC::Course> CBTopTableMenusVC::coursesFromMenuTags(
    const std::vector<std::shared_ptr<CBGeoTag>>& tags) {
    std::vector<Course> courses;
    for (const auto& tag : tags) {
        const std::vector<std::string> parts = split(tag->attribute(), "##");
        if (parts.size() < 2)
            continue;
        Course course{parts.front(), {}};
        for (size_t i = 1; i < parts.size(); ++i) {
            std::vector<std::string> pieces = split(parts[i], "#");
            if (pieces.size() == 1)
                course.dishes.push_back({pieces[0], std::nullopt});
            else if (pieces.size() == 2)
                course.dishes.push_back({pieces[0], pieces[1]});
        }
        courses.push_back(std::move(course));
    }
    return courses;
}

void CBTopTableMenusVC::decodeContent() {
    menus_ = venue_ ? coursesFromMenuTags(topTableSortedMenus(*venue_)) : std::vector<Course>{};
}

std::string CBTopTableMenusVC::titleForCourseName(const std::string& name) {
    std::string title = name.empty() ? name : NSLocalizedString(name);
    const std::string course = "Course";
    const std::string translated = NSLocalizedString(course);
    for (size_t found = title.find(course); found != std::string::npos;
         found = title.find(course, found + translated.size()))
        title.replace(found, course.size(), translated);
    return title;
}

void CBTopTableMenusVC::viewDidLoad() {
    UITableViewController::viewDidLoad();
    decodeContent();
}

void CBTopTableMenusVC::viewWillAppear(bool animated) {
    UITableViewController::viewWillAppear(animated);
    CBPlaceScreenHideToolbar(*this, animated);
}

void CBTopTableMenusVC::viewDidAppear(bool animated) {
    UITableViewController::viewDidAppear(animated);
    CrashInformation::setCurrentViewController("CBTopTableMenusVC");
}

bool CBTopTableMenusVC::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    return CBPlaceScreenShouldAutorotateToInterfaceOrientation(orientation);
}

long CBTopTableMenusVC::numberOfSectionsInTableView(UITableView&) {
    return long(menus_.size());
}

long CBTopTableMenusVC::tableViewNumberOfRowsInSection(UITableView&, long section) {
    return section >= 0 && size_t(section) < menus_.size()
               ? long(menus_[size_t(section)].dishes.size())
               : 0;
}

std::optional<std::string> CBTopTableMenusVC::tableViewTitleForHeaderInSection(UITableView&,
                                                                               long section) {
    if (section < 0 || size_t(section) >= menus_.size())
        return std::nullopt;
    return CBTextForDisplay(titleForCourseName(menus_[size_t(section)].name));
}

std::shared_ptr<UITableViewCell> CBTopTableMenusVC::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& indexPath) {
    auto cell = table.dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell) {
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, kCellIdentifier);
        UILabel& text = *cell->textLabel();
        text.setAdjustsFontSizeToFitWidth(true);
        text.setMinimumScaleFactor(kShrinkScale);
        text.setLineBreakMode(NSLineBreakByTruncatingTail);
        text.setNumberOfLines(2);
        text.setFont(UIFont::systemFontOfSize(kFontSize));
        cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    }
    const size_t section = size_t(indexPath.section);
    const size_t row = size_t(indexPath.row);
    if (section >= menus_.size() || row >= menus_[section].dishes.size())
        return cell;
    const Dish& dish = menus_[section].dishes[row];
    cell->textLabel()->setText(CBTextForDisplay(dish.name));
    if (!dish.price) {
        cell->setAccessoryView(nullptr);
        return cell;
    }
    auto price = std::make_shared<UILabel>(CGRect{{0, 0}, kPriceSize});
    price->setFont(UIFont::systemFontOfSize(kFontSize));
    price->setTextAlignment(NSTextAlignmentRight);
    price->setAdjustsFontSizeToFitWidth(true);
    price->setMinimumScaleFactor(kShrinkScale);
    price->setTextColor(UIColor::colorWithRedGreenBlueAlpha(0.164, 0.248, 0.46, 1));
    price->setBackgroundColor(UIColor::clearColor());
    price->setText(CBTextForDisplay(*dish.price));
    cell->setAccessoryView(price);
    return cell;
}
