#pragma once

#include <memory>
#include <optional>

#include "UIKit/NSIndexPath.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UITableViewCell.h"

class UITableView;

// What a table tells its delegate and asks it; every method is optional.
// Heights answered as nullopt fall back to the table's own (rowHeight,
// sectionHeaderHeight, ...); a header or footer height of 0 or less also
// means the default, as grouped tables treat it on the phone.
class UITableViewDelegate : public UIScrollViewDelegate {
  public:
    virtual std::optional<CGFloat> tableViewHeightForRowAtIndexPath(UITableView&,
                                                                    const NSIndexPath&) {
        return std::nullopt;
    }
    virtual std::optional<CGFloat> tableViewHeightForHeaderInSection(UITableView&, long) {
        return std::nullopt;
    }
    virtual std::optional<CGFloat> tableViewHeightForFooterInSection(UITableView&, long) {
        return std::nullopt;
    }
    // Views shown instead of the titles; asked when the section comes into sight.
    virtual std::shared_ptr<UIView> tableViewViewForHeaderInSection(UITableView&, long) {
        return nullptr;
    }
    virtual std::shared_ptr<UIView> tableViewViewForFooterInSection(UITableView&, long) {
        return nullptr;
    }

    virtual void tableViewWillDisplayCellForRowAtIndexPath(UITableView&, UITableViewCell&,
                                                           const NSIndexPath&) {}
    virtual void tableViewDidEndDisplayingCellForRowAtIndexPath(UITableView&, UITableViewCell&,
                                                                const NSIndexPath&) {}

    // Selection by touch. willSelect and willDeselect may redirect the
    // change to another row, or cancel it with nullopt.
    virtual bool tableViewShouldHighlightRowAtIndexPath(UITableView&, const NSIndexPath&) {
        return true;
    }
    virtual std::optional<NSIndexPath> tableViewWillSelectRowAtIndexPath(
        UITableView&, const NSIndexPath& indexPath) {
        return indexPath;
    }
    virtual void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath&) {}
    virtual std::optional<NSIndexPath> tableViewWillDeselectRowAtIndexPath(
        UITableView&, const NSIndexPath& indexPath) {
        return indexPath;
    }
    virtual void tableViewDidDeselectRowAtIndexPath(UITableView&, const NSIndexPath&) {}

    // The row's detail disclosure button was tapped; the row is not selected.
    virtual void tableViewAccessoryButtonTappedForRowWithIndexPath(UITableView&,
                                                                   const NSIndexPath&) {}

    virtual UITableViewCellEditingStyle tableViewEditingStyleForRowAtIndexPath(UITableView&,
                                                                               const NSIndexPath&) {
        return UITableViewCellEditingStyleDelete;
    }
};
