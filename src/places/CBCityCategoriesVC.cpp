#include "places/CBCityCategoriesVC.h"

#include "CBGeoData/CBGeoDataManager.h"
#include "Foundation/NSBundle.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIDevice.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UINavigationBar.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UIScreen.h"
#include "mapkit/VADMaskedIconView.h"
#include "model/CBCityGuideState.h"
#include "places/CBCellLabelWithBubble.h"
#include "places/CBCityCategoryGuide.h"
#include "widgets/CBScreenBreadcrumb.h"
#include "widgets/CBScreenRotation.h"
#include "widgets/CBScreenToolbar.h"
#include "widgets/UIImage+ZELResize.h"

namespace {
constexpr const char* kCellIdentifier = "Cell";
}  // namespace

CBCityCategoriesVC::CBCityCategoriesVC(UITableViewStyle style, long categoryIndex,
                                       std::vector<CBCityGuideSection> content,
                                       std::weak_ptr<CBPlacesHost> host,
                                       std::shared_ptr<CBCurrentMap> currentMap,
                                       std::weak_ptr<CBAnnotationsPresenter> presenter)
    : UITableViewController(style),
      categoryIndex_(categoryIndex),
      content_(std::move(content)),
      host_(std::move(host)),
      currentMap_(std::move(currentMap)),
      presenter_(std::move(presenter)) {
    setTitle(NSLocalizedString("Guide"));
}

const CBCityGuideRow* CBCityCategoriesVC::contentForRowAtIndexPath(long section) const {
    if (categoryIndex_ < 0 || size_t(categoryIndex_) >= content_.size() || section < 0)
        return nullptr;
    const auto& rows = content_[size_t(categoryIndex_)].rows;
    return size_t(section) < rows.size() ? &rows[size_t(section)] : nullptr;
}

long CBCityCategoriesVC::counterForRowAtIndexpath(long section) {
    if (auto cached = counterDict_.find(section); cached != counterDict_.end())
        return cached->second;
    const CBCityGuideRow* row = contentForRowAtIndexPath(section);
    const long count = row && dataManager_
                           ? CBCityGuide::countOfRow(*dataManager_, row->tags, row->showUnnamed)
                           : 0;
    counterDict_[section] = count;
    return count;
}

void CBCityCategoriesVC::viewDidLoad() {
    UITableViewController::viewDidLoad();
    counterDict_.clear();
}

long CBCityCategoriesVC::numberOfSectionsInTableView(UITableView&) {
    if (categoryIndex_ < 0 || size_t(categoryIndex_) >= content_.size())
        return 0;
    return long(content_[size_t(categoryIndex_)].rows.size());
}

long CBCityCategoriesVC::tableViewNumberOfRowsInSection(UITableView&, long section) {
    return counterForRowAtIndexpath(section) > 0 ? 1 : 0;
}

std::shared_ptr<UITableViewCell> CBCityCategoriesVC::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& indexPath) {
    auto cell = table.dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell)
        cell = std::make_shared<CBCellLabelWithBubble>(kCellIdentifier);
    const CBCityGuideRow* row = contentForRowAtIndexPath(indexPath.section);
    cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
    cell->textLabel()->setText(row ? row->title : "");
    const RowIcon icon = iconOfRow(row);
    cell->imageView()->setImage(icon.image);
    cell->imageView()->setHighlightedImage(icon.highlighted);
    cell->detailTextLabel()->setText(std::to_string(counterForRowAtIndexpath(indexPath.section)));
    return cell;
}

CBCityCategoriesVC::RowIcon CBCityCategoriesVC::drawnIcon(const std::string& name) {
    if (!supportsMaskedIconsForImageWithName(name))
        return {UIImage::imageNamed(name), nullptr};
    auto icon = VADMaskedIconView::iconWithImageNamed(name + ".png");
    icon->setTrait(*VADStyleTrait::iconTraitWithColor(view()->tintColor()));
    return {icon->renderImage(), icon->renderHighlightedImage()};
}

CBCityCategoriesVC::RowIcon CBCityCategoriesVC::iconOfRow(const CBCityGuideRow* row) {
    RowIcon icon;
    if (row && row->icon)
        icon = drawnIcon(*row->icon);
    if (icon.image) {
        iconSize_ = icon.image->size();
        return icon;
    }
    if (!iconSize_ && categoryIndex_ >= 0 && size_t(categoryIndex_) < content_.size())
        for (const CBCityGuideRow& other : content_[size_t(categoryIndex_)].rows)
            if (other.icon)
                if (auto image = drawnIcon(*other.icon).image) {
                    iconSize_ = image->size();
                    break;
                }
    if (!iconSize_)
        return icon;
    UIGraphicsBeginImageContextWithOptions(*iconSize_, false, UIScreen::mainScreen()->scale());
    icon.image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return icon;
}

void CBCityCategoriesVC::tableViewDidSelectRowAtIndexPath(UITableView& table,
                                                          const NSIndexPath& indexPath) {
    if (const CBCityGuideRow* row = contentForRowAtIndexPath(indexPath.section))
        openCityCategoryGuideWithTitleAndTagsAndShowUnnamedAnimated(row->title, row->tags,
                                                                    row->showUnnamed, true);
    table.deselectRowAtIndexPathAnimated(indexPath, true);
}

std::shared_ptr<CBCityCategoryGuide>
CBCityCategoriesVC::openCityCategoryGuideWithTitleAndTagsAndShowUnnamedAnimated(
    const std::string& title, const CBGuideTagFilter& tags, bool showUnnamed, bool animated) {
    CBCityGuideState::setLastPlaceList({title, tags, showUnnamed}, true);
    auto list = std::make_shared<CBCityCategoryGuide>(UITableViewStylePlain, tags, host_,
                                                      currentMap_, presenter_);
    list->setTitle(title);
    list->setShowUnnamedObjects(showUnnamed);
    list->setDataManager(dataManager_);
    list->navigationItem()->setRightBarButtonItem(navigationItem()->rightBarButtonItem());
    if (auto navigation = navigationController())
        navigation->pushViewControllerAnimated(list, animated);
    return list;
}

void CBCityCategoriesVC::makePersistent() {
    if (categoryIndex_ < 0)
        return;
    if (auto list = CBCityGuideState::lastPlaceList())
        openCityCategoryGuideWithTitleAndTagsAndShowUnnamedAnimated(list->title, list->tags,
                                                                    list->showUnnamed, false);
}

void CBCityCategoriesVC::resetGuidePersistenceIncludingTopPosition(bool topPosition) {
    CBCityGuideState::reset(topPosition);
}

void CBCityCategoriesVC::dismiss() {
    if (auto navigation = navigationController())
        navigation->dismissViewControllerAnimatedCompletion(true, nullptr);
}

void CBCityCategoriesVC::viewWillAppear(bool animated) {
    UITableViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->navigationBar()->setBarStyle(UIBarStyleDefault);
}

// Back on the list, the place list over it is no longer where the user is.
void CBCityCategoriesVC::viewDidAppear(bool animated) {
    UITableViewController::viewDidAppear(animated);
    CBScreenBreadcrumb::screenAppeared(*this);
    UIApplication::sharedApplication()->setStatusBarStyleAnimated(UIStatusBarStyleDefault, true);
    CBScreenToolbar::setHidden(*this, true, animated);
    resetGuidePersistenceIncludingTopPosition(false);
}

bool CBCityCategoriesVC::shouldAutorotateToInterfaceOrientation(
    UIInterfaceOrientation orientation) const {
    return CBScreenRotation::turnsTo(CBScreenRotation::Rule::AllButUpsideDown, orientation);
}
