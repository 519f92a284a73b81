#include "app/CBDisplayModeVC.h"

#include "Foundation/NSBundle.h"
#include "UIKit/UILabel.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITableViewCell.h"
#include "app/CBMapDisplayModeManager.h"
#include "widgets/CBScreenBreadcrumb.h"

namespace {
constexpr const char* kModeCell = "CBDisplayMode";
}  // namespace

CBDisplayModeVC::CBDisplayModeVC(std::vector<int> modes, int currentMode, ChooseBlock choose)
    : modes_(std::move(modes)), currentMode_(currentMode), choose_(std::move(choose)) {
    setTitle(NSLocalizedString("DisplayModes"));
}

void CBDisplayModeVC::viewWillAppear(bool animated) {
    UITableViewController::viewWillAppear(animated);
    CBScreenBreadcrumb::screenAppeared(*this);
}

long CBDisplayModeVC::tableViewNumberOfRowsInSection(UITableView&, long) {
    return long(modes_.size());
}

std::shared_ptr<UITableViewCell> CBDisplayModeVC::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& path) {
    auto cell = table.dequeueReusableCellWithIdentifier(kModeCell);
    if (!cell)
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, kModeCell);
    const int mode = modes_[size_t(path.row)];
    cell->textLabel()->setText(CBMapDisplayModeManager::titleForMode(mode));
    cell->setAccessoryType(mode == currentMode_ ? UITableViewCellAccessoryCheckmark
                                                : UITableViewCellAccessoryNone);
    return cell;
}

void CBDisplayModeVC::tableViewDidSelectRowAtIndexPath(UITableView& table,
                                                       const NSIndexPath& path) {
    table.deselectRowAtIndexPathAnimated(path, true);
    if (size_t(path.row) >= modes_.size())
        return;
    currentMode_ = modes_[size_t(path.row)];
    table.reloadData();
    if (choose_)
        choose_(currentMode_);
}
