#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UIKit/NSIndexPath.h"
#include "UIKit/UITableViewCell.h"

class UITableView;

// Supplies a table's rows. The row count and the cells are required; the
// other methods are optional and their defaults answer as an absent method
// does on the phone.
class UITableViewDataSource {
  public:
    virtual ~UITableViewDataSource() = default;

    virtual long tableViewNumberOfRowsInSection(UITableView& tableView, long section) = 0;
    // A nullptr is logged and shown as an empty row.
    virtual std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView& tableView, const NSIndexPath& indexPath) = 0;

    virtual long numberOfSectionsInTableView(UITableView&) { return 1; }
    // nullopt or an empty title: no title.
    virtual std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&, long) {
        return std::nullopt;
    }
    virtual std::optional<std::string> tableViewTitleForFooterInSection(UITableView&, long) {
        return std::nullopt;
    }
    // The section index along the right edge (UITableViewIndexSearch shows
    // a magnifier), and the section an index entry leads to; nullopt: none
    // (the data source may have scrolled the table itself).
    virtual std::vector<std::string> sectionIndexTitlesForTableView(UITableView&) { return {}; }
    virtual std::optional<long> tableViewSectionForSectionIndexTitleAtIndex(UITableView&,
                                                                            const std::string&,
                                                                            long index) {
        return index;
    }
    // Editing: whether the row shows an editing control, and what a tap on
    // its delete or insert control commits.
    virtual bool tableViewCanEditRowAtIndexPath(UITableView&, const NSIndexPath&) { return true; }
    virtual void tableViewCommitEditingStyleForRowAtIndexPath(UITableView&,
                                                              UITableViewCellEditingStyle,
                                                              const NSIndexPath&) {}
    // Whether a leftward swipe on a row that edits with the delete style
    // offers its Delete button outside editing mode. On the phone any data
    // source that commits edits gets this; here a data source that does
    // says so.
    virtual bool tableViewAllowsSwipeToDelete(UITableView&) { return false; }
};
