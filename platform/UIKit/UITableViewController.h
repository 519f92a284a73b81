#pragma once

#include <memory>

#include "UIKit/UITableView.h"
#include "UIKit/UIViewController.h"

// A controller whose view is a table of its style, with the controller as
// the table's data source and delegate. Subclasses override the data source
// and delegate methods they need; by default the table has no rows.
//
// The controller owns its table; the table holds the controller weakly (as
// data source, delegate and view controller), so neither keeps the other
// alive in a cycle.
class UITableViewController : public UIViewController,
                              public UITableViewDataSource,
                              public UITableViewDelegate {
  public:
    // initWithStyle:
    explicit UITableViewController(UITableViewStyle style = UITableViewStylePlain);
    ~UITableViewController() override;

    // The view, loaded when needed; nullptr when a view that is not a
    // table was set.
    std::shared_ptr<UITableView> tableView();
    void setTableView(const std::shared_ptr<UITableView>& tableView);
    UITableViewStyle tableViewStyle() const { return style_; }

    // Whether appearing deselects the selected rows (default true).
    bool clearsSelectionOnViewWillAppear() const { return clearsSelection_; }
    void setClearsSelectionOnViewWillAppear(bool flag) { clearsSelection_ = flag; }

    // Passed on to the table.
    void setEditingAnimated(bool editing, bool animated) override;

    void loadView() override;
    void viewWillAppear(bool animated) override;

    long tableViewNumberOfRowsInSection(UITableView&, long) override { return 0; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&,
                                                                    const NSIndexPath&) override {
        return nullptr;
    }

  private:
    UITableViewStyle style_;
    bool clearsSelection_ = true;
};

using UITableViewControllerRef = std::shared_ptr<UITableViewController>;
