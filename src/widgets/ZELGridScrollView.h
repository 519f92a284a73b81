#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Foundation/NSIndexPath.h"
#include "UIKit/UIGeometry.h"
#include "UIKit/UIScrollView.h"

class ZELGridScrollView;

// A cell of the grid: a view with a reuse identifier that can be edited and
// highlighted.
class ZELGridCellView : public UIView {
  public:
    explicit ZELGridCellView(std::string reuseIdentifier)
        : UIView(CGRectZero), reuseIdentifier_(std::move(reuseIdentifier)) {}
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    virtual void prepareForReuse() {
        setEditing(false);
        setHighlighted(false);
    }
    bool isEditing() const { return editing_; }
    virtual void setEditing(bool editing) { editing_ = editing; }
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted) { highlighted_ = highlighted; }

  private:
    std::string reuseIdentifier_;
    bool editing_ = false;
    bool highlighted_ = false;
};

class ZELGridScrollViewDataSource {
  public:
    virtual ~ZELGridScrollViewDataSource() = default;
    virtual long numberOfSectionsInZELGridScrollView(ZELGridScrollView&) { return 1; }
    virtual long gridViewNumberOfCellsInSection(ZELGridScrollView&, long section) = 0;
    virtual std::shared_ptr<ZELGridCellView> gridViewCellAtIndexPath(ZELGridScrollView&,
                                                                     const NSIndexPath& path) = 0;
    // A filler for a place of a section's last row that no cell takes (its
    // index is the section's cell count or more); nullptr leaves it blank.
    virtual std::shared_ptr<ZELGridCellView> gridViewEmptyCellAtIndexPath(ZELGridScrollView&,
                                                                          const NSIndexPath&) {
        return nullptr;
    }
};

class ZELGridScrollViewDelegate {
  public:
    virtual ~ZELGridScrollViewDelegate() = default;
    virtual void gridViewDidSelectCellAtIndexPath(ZELGridScrollView&, const NSIndexPath&) {}
};

// A scroll view that lays cells of one size out in rows (as many per row as
// fit between the padding insets), section after section, below an optional
// header. Only the cells in view exist; the others wait for reuse. A tap on
// a cell tells the delegate. The places a section's last row leaves free
// take the data source's empty cells, which are never chosen.
class ZELGridScrollView : public UIScrollView {
  public:
    explicit ZELGridScrollView(const CGRect& frame = CGRectZero);

    CGSize cellSize() const { return cellSize_; }
    void setCellSize(CGSize size);
    const UIEdgeInsets& paddingInset() const { return paddingInset_; }
    void setPaddingInset(const UIEdgeInsets& inset);
    void setDataSource(std::weak_ptr<ZELGridScrollViewDataSource> dataSource) {
        dataSource_ = std::move(dataSource);
    }
    void setGridDelegate(std::weak_ptr<ZELGridScrollViewDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    bool allowsScrollingTouchesOnHeaderView() const { return allowsScrollingTouchesOnHeader_; }
    void setAllowsScrollingTouchesOnHeaderView(bool allows) {
        allowsScrollingTouchesOnHeader_ = allows;
    }
    const std::shared_ptr<UIView>& gridHeaderView() const { return header_; }
    // Replaces the header and reloads the grid.
    void setGridHeaderView(const std::shared_ptr<UIView>& header);

    void reloadData();
    // A queued cell of the identifier, prepared for reuse; nullptr when none waits.
    std::shared_ptr<ZELGridCellView> dequeueReusableCellWithIdentifier(
        const std::string& identifier);
    // The frame of a cell in the scroll view's content.
    CGRect rectForCellAtIndexPath(const NSIndexPath& path) const;
    std::vector<std::shared_ptr<ZELGridCellView>> visibleCells() const;
    // Tells the delegate a cell was chosen (a tap on it).
    void selectCellAtIndexPath(const NSIndexPath& path);
    // A tap at the point (in the window) chooses the cell shown there, if any.
    void selectCellAtPoint(CGPoint windowPoint);

    // Scrolling brings other cells into view; another width, other rows.
    void setBounds(const CGRect& bounds) override;
    void layoutSubviews() override;
    // Shown in a view, the grid takes taps.
    void didMoveToSuperview() override;

  private:
    long cellsPerRow() const;
    bool isEmptyPlace(const NSIndexPath& path) const;
    void computeSections();

    CGSize cellSize_{100, 100};
    UIEdgeInsets paddingInset_{10, 10, 10, 10};
    std::weak_ptr<ZELGridScrollViewDataSource> dataSource_;
    std::weak_ptr<ZELGridScrollViewDelegate> delegate_;
    bool allowsScrollingTouchesOnHeader_ = true;
    bool tapAdded_ = false;
    std::shared_ptr<UIView> header_;
    // The top of each section in the content and its cell count.
    std::vector<std::pair<CGFloat, long>> sections_;
    std::map<NSIndexPath, std::shared_ptr<ZELGridCellView>> visible_;
    std::map<std::string, std::vector<std::shared_ptr<ZELGridCellView>>> queue_;
};
