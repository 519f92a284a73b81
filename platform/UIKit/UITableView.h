#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "UIKit/NSIndexPath.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UITableViewCell.h"
#include "UIKit/UITableViewDataSource.h"
#include "UIKit/UITableViewDelegate.h"
#include "UIKit/UITableViewIndex.h"

enum UITableViewStyle : long { UITableViewStylePlain, UITableViewStyleGrouped };

enum UITableViewScrollPosition : long {
    UITableViewScrollPositionNone,
    UITableViewScrollPositionTop,
    UITableViewScrollPositionMiddle,
    UITableViewScrollPositionBottom,
};

enum UITableViewRowAnimation : long {
    UITableViewRowAnimationFade,
    UITableViewRowAnimationRight,
    UITableViewRowAnimationLeft,
    UITableViewRowAnimationTop,
    UITableViewRowAnimationBottom,
    UITableViewRowAnimationNone,
    UITableViewRowAnimationMiddle,
    UITableViewRowAnimationAutomatic = 100,
};

enum UITableViewCellSeparatorStyle : long {
    UITableViewCellSeparatorStyleNone,
    UITableViewCellSeparatorStyleSingleLine,
};

// A vertical list of rows in sections, each row a cell that the data source
// hands out. The table knows every row's height (asked of the delegate on
// reload) but makes cells only for the rows in sight: layoutSubviews places
// those and returns the others to a reuse pool per identifier, so a long
// table costs a screenful of cells. A tap on a row highlights it while the
// finger is down and selects it on lift-off (delegate: shouldHighlight,
// willSelect, [willDeselect, didDeselect of the old row], didSelect); a drag
// cancels the highlight.
//
// A section index from the data source runs along the right edge, beside
// the rows: below the table header while that is in sight; choosing an entry
// scrolls its section to the top.
//
// Plain tables show section headers that stay at the top while their
// section scrolls under them; grouped tables inset their rows by 10 points
// on a grey background and show header and footer titles as grey text.
// Row insertions, deletions and reloads reload the whole table (without
// animation) but keep the selection on the rows that stay. The data source
// and delegate are held weakly.
class UITableView : public UIScrollView {
  public:
    // initWithFrame:style:
    explicit UITableView(const CGRect& frame = CGRectZero,
                         UITableViewStyle style = UITableViewStylePlain);
    ~UITableView() override;

    UITableViewStyle style() const { return style_; }
    std::shared_ptr<UITableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(std::weak_ptr<UITableViewDataSource> dataSource);
    // The delegate is also the scroll view's delegate.
    std::shared_ptr<UITableViewDelegate> delegate() const;
    void setDelegate(std::weak_ptr<UITableViewDelegate> delegate);

    // Geometry defaults.
    CGFloat rowHeight() const { return rowHeight_; }
    void setRowHeight(CGFloat height);
    CGFloat sectionHeaderHeight() const { return sectionHeaderHeight_; }
    void setSectionHeaderHeight(CGFloat height);
    CGFloat sectionFooterHeight() const { return sectionFooterHeight_; }
    void setSectionFooterHeight(CGFloat height);
    UITableViewCellSeparatorStyle separatorStyle() const { return separatorStyle_; }
    void setSeparatorStyle(UITableViewCellSeparatorStyle style);
    const UIColor& separatorColor() const { return separatorColor_; }
    void setSeparatorColor(const UIColor& color);

    // The section index shows when the table has at least this many rows.
    long sectionIndexMinimumDisplayRowCount() const { return indexMinimumRows_; }
    void setSectionIndexMinimumDisplayRowCount(long count);

    // Views above the first and below the last section, at their own height.
    const std::shared_ptr<UIView>& tableHeaderView() const { return tableHeaderView_; }
    void setTableHeaderView(const std::shared_ptr<UIView>& view);
    const std::shared_ptr<UIView>& tableFooterView() const { return tableFooterView_; }
    void setTableFooterView(const std::shared_ptr<UIView>& view);
    // Behind the rows, filling the bounds.
    const std::shared_ptr<UIView>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(const std::shared_ptr<UIView>& view);

    // Data.
    void reloadData();
    long numberOfSections();
    // 0 for a section out of range.
    long numberOfRowsInSection(long section);
    void beginUpdates();
    void endUpdates();
    void insertRowsAtIndexPathsWithRowAnimation(const std::vector<NSIndexPath>& paths,
                                                UITableViewRowAnimation animation);
    void deleteRowsAtIndexPathsWithRowAnimation(const std::vector<NSIndexPath>& paths,
                                                UITableViewRowAnimation animation);
    void reloadRowsAtIndexPathsWithRowAnimation(const std::vector<NSIndexPath>& paths,
                                                UITableViewRowAnimation animation);
    void insertSectionsWithRowAnimation(const std::set<long>& sections,
                                        UITableViewRowAnimation animation);
    void deleteSectionsWithRowAnimation(const std::set<long>& sections,
                                        UITableViewRowAnimation animation);
    void reloadSectionsWithRowAnimation(const std::set<long>& sections,
                                        UITableViewRowAnimation animation);

    // Cells.
    // A cell from the reuse pool, prepared for reuse; nullptr when none waits.
    std::shared_ptr<UITableViewCell> dequeueReusableCellWithIdentifier(
        const std::string& identifier);
    // The visible cell of the row; nullptr when the row is not in sight.
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const NSIndexPath& indexPath);
    std::optional<NSIndexPath> indexPathForCell(const UITableViewCell& cell) const;
    // In order of the rows.
    std::vector<std::shared_ptr<UITableViewCell>> visibleCells();
    std::vector<NSIndexPath> indexPathsForVisibleRows();

    // Geometry, in the table's content coordinates.
    std::optional<NSIndexPath> indexPathForRowAtPoint(CGPoint point);
    std::vector<NSIndexPath> indexPathsForRowsInRect(const CGRect& rect);
    // CGRectZero for a row or section out of range.
    CGRect rectForRowAtIndexPath(const NSIndexPath& indexPath);
    CGRect rectForSection(long section);
    CGRect rectForHeaderInSection(long section);
    CGRect rectForFooterInSection(long section);
    void scrollToRowAtIndexPathAtScrollPositionAnimated(const NSIndexPath& indexPath,
                                                        UITableViewScrollPosition position,
                                                        bool animated);

    // Selection.
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool flag) { allowsSelection_ = flag; }
    bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool flag) { allowsMultipleSelection_ = flag; }
    bool allowsSelectionDuringEditing() const { return allowsSelectionDuringEditing_; }
    void setAllowsSelectionDuringEditing(bool flag) { allowsSelectionDuringEditing_ = flag; }
    // The first selected row.
    std::optional<NSIndexPath> indexPathForSelectedRow() const;
    std::vector<NSIndexPath> indexPathsForSelectedRows() const;
    // Programmatic changes tell the delegate nothing. nullopt deselects all.
    void selectRowAtIndexPathAnimatedScrollPosition(const std::optional<NSIndexPath>& indexPath,
                                                    bool animated,
                                                    UITableViewScrollPosition position);
    void deselectRowAtIndexPathAnimated(const NSIndexPath& indexPath, bool animated);

    // Editing: editable rows show their delete or insert control; a tap on a
    // delete control asks for confirmation, a tap on the confirmation (or an
    // insert control) commits through the data source. Outside editing a
    // leftward swipe asks for the confirmation when the data source allows.
    bool isEditing() const { return editing_; }
    void setEditing(bool editing) { setEditingAnimated(editing, false); }
    void setEditingAnimated(bool editing, bool animated);

    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;
    void setBounds(const CGRect& bounds) override;
    bool gestureRecognizerShouldBegin(UIGestureRecognizer& recognizer) override;
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

  private:
    // Puts a header, footer or background view in its slot, in place of the
    // one there before.
    void replaceOwnView(std::shared_ptr<UIView>& slot, const std::shared_ptr<UIView>& view,
                        bool atBack);
    struct Section {
        CGFloat top = 0;
        CGFloat headerHeight = 0;
        CGFloat footerHeight = 0;
        std::string headerTitle;
        std::string footerTitle;
        // rowTops[i] is the offset of row i from the first row; one more
        // entry than rows, the last the end of the rows.
        std::vector<CGFloat> rowTops;
        long rows() const { return long(rowTops.size()) - 1; }
        CGFloat rowsTop() const { return top + headerHeight; }
        CGFloat bottom() const { return rowsTop() + rowTops.back() + footerHeight; }
    };
    struct SupplementaryView {
        std::shared_ptr<UIView> view;
        bool header;
        long section;
    };

    // Asks the data source and delegate for counts and heights.
    void rebuildGeometry();
    void ensureGeometry();
    void recycleAllCells();
    void recycle(const NSIndexPath& path, const std::shared_ptr<UITableViewCell>& cell);
    std::shared_ptr<UITableViewCell> makeCell(const NSIndexPath& path);
    void configureCell(UITableViewCell& cell, const NSIndexPath& path);
    CGRect cellFrame(const NSIndexPath& path) const;
    bool validPath(const NSIndexPath& path) const;
    void layoutSupplementaryViews(const CGRect& visible);
    std::shared_ptr<UIView> makeSupplementaryView(long section, bool header);
    CGFloat titleHeight(const std::string& title, bool header) const;
    void setRowSelected(const NSIndexPath& path, bool selected, bool animated);
    // Reloads after a change of rows; shift maps an old path to its new
    // place, or nullopt when its row went away.
    void reloadKeepingSelection(
        const std::function<std::optional<NSIndexPath>(const NSIndexPath&)>& shift);
    void tapRow(const NSIndexPath& path);
    bool handleEditingTap(const NSIndexPath& path, CGPoint point);
    // A leftward swipe on a deletable row shows its Delete button.
    bool beginSwipeToDelete();
    UITableViewCellEditingStyle editingStyleForRow(const NSIndexPath& path);
    void endHighlight();
    void layoutSectionIndex(const CGRect& visible);
    // Headers above the cells, the index above all, in that order.
    void keepOverlaysOnTop();
    void sectionIndexEntryChosen(long entry);

    UITableViewStyle style_;
    std::weak_ptr<UITableViewDataSource> dataSource_;
    CGFloat rowHeight_ = 44;
    CGFloat sectionHeaderHeight_;
    CGFloat sectionFooterHeight_;
    UITableViewCellSeparatorStyle separatorStyle_ = UITableViewCellSeparatorStyleSingleLine;
    UIColor separatorColor_;
    std::shared_ptr<UIView> tableHeaderView_;
    std::shared_ptr<UIView> tableFooterView_;
    std::shared_ptr<UIView> backgroundView_;
    long indexMinimumRows_ = 0;
    std::vector<std::string> indexTitles_;  // empty while the index is hidden
    std::shared_ptr<UITableViewIndex> index_;

    std::vector<Section> sections_;
    CGFloat sectionsTop_ = 0;
    CGFloat sectionsBottom_ = 0;
    bool geometryValid_ = false;
    int updateDepth_ = 0;
    bool reloadPending_ = false;

    std::map<NSIndexPath, std::shared_ptr<UITableViewCell>> visible_;
    std::unordered_map<std::string, std::vector<std::shared_ptr<UITableViewCell>>> reusePool_;
    std::vector<SupplementaryView> supplementary_;

    std::set<NSIndexPath> selected_;
    bool allowsSelection_ = true;
    bool allowsMultipleSelection_ = false;
    bool allowsSelectionDuringEditing_ = false;
    bool editing_ = false;
    std::optional<NSIndexPath> confirmingDelete_;

    // The touch on a row, from touch-down to lift-off.
    std::optional<NSIndexPath> touchedRow_;
    CGPoint touchStart_{};
};

using UITableViewRef = std::shared_ptr<UITableView>;
