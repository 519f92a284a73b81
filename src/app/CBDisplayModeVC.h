#pragma once

#include <functional>
#include <vector>

#include "UIKit/UITableViewController.h"

// The list of the map's display modes with the current one ticked; choosing
// a row hands its mode to the chooser. Pushed on the phone, in a popover on
// the pad.
class CBDisplayModeVC : public UITableViewController {
  public:
    using ChooseBlock = std::function<void(int mode)>;

    CBDisplayModeVC(std::vector<int> modes, int currentMode, ChooseBlock choose);

    void viewWillAppear(bool animated) override;
    long tableViewNumberOfRowsInSection(UITableView&, long) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView& table, const NSIndexPath& path) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;

  private:
    std::vector<int> modes_;
    int currentMode_;
    ChooseBlock choose_;
};
