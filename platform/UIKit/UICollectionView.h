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
#include "UIKit/UICollectionViewCell.h"
#include "UIKit/UICollectionViewDataSource.h"
#include "UIKit/UICollectionViewDelegate.h"
#include "UIKit/UICollectionViewLayout.h"
#include "UIKit/UIScrollView.h"

enum UICollectionViewScrollPosition : unsigned {
    UICollectionViewScrollPositionNone = 0,
    UICollectionViewScrollPositionTop = 1 << 0,
    UICollectionViewScrollPositionCenteredVertically = 1 << 1,
    UICollectionViewScrollPositionBottom = 1 << 2,
    UICollectionViewScrollPositionLeft = 1 << 3,
    UICollectionViewScrollPositionCenteredHorizontally = 1 << 4,
    UICollectionViewScrollPositionRight = 1 << 5,
};

// Items in sections placed by a layout object. Like the table view, it
// makes views only for what is in sight: each layout pass asks the layout
// what stands in the visible rect, places those cells and section views
// (asking the data source for the ones newly in sight) and returns the
// others to a reuse pool per identifier. Cells are made by the factory
// registered for their identifier when the pool is empty.
//
// A touch on an item highlights it while the finger is down (a drag cancels
// it) and selects it on lift-off, or deselects it when multiple selection
// is on and it was selected. Batch updates (insertions, deletions, reloads
// of items and sections) keep the selection on the items that stay; counts
// that do not add up are logged and reload everything. The model (counts,
// layout, cells' frames, selection) is final at once; in a window, with
// animations enabled, what is drawn follows: cells that stay move to their
// new place, new and reloaded ones fade in there, deleted ones fade out where
// they were and go back to the pool when their fade ends. The data source
// and delegate are held weakly; the delegate is also the scroll view's.
class UICollectionView : public UIScrollView {
  public:
    using CellFactory = std::function<std::shared_ptr<UICollectionViewCell>()>;
    using ViewFactory = std::function<std::shared_ptr<UICollectionReusableView>()>;

    // initWithFrame:collectionViewLayout:
    UICollectionView(const CGRect& frame, std::shared_ptr<UICollectionViewLayout> layout);
    ~UICollectionView() override;

    const std::shared_ptr<UICollectionViewLayout>& collectionViewLayout() const { return layout_; }
    void setCollectionViewLayout(std::shared_ptr<UICollectionViewLayout> layout);
    std::shared_ptr<UICollectionViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(std::weak_ptr<UICollectionViewDataSource> dataSource);
    std::shared_ptr<UICollectionViewDelegate> delegate() const;
    void setDelegate(std::weak_ptr<UICollectionViewDelegate> delegate);
    // Behind the items, filling the visible rect.
    const std::shared_ptr<UIView>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(const std::shared_ptr<UIView>& view);

    // registerClass:forCellWithReuseIdentifier: with a factory for the class.
    void registerClassForCellWithReuseIdentifier(CellFactory factory,
                                                 const std::string& identifier);
    template <typename Cell>
    void registerCellClass(const std::string& identifier) {
        registerClassForCellWithReuseIdentifier([] { return std::make_shared<Cell>(); },
                                                identifier);
    }
    void registerClassForSupplementaryViewOfKindWithReuseIdentifier(ViewFactory factory,
                                                                    const std::string& kind,
                                                                    const std::string& identifier);
    template <typename View>
    void registerSupplementaryViewClass(const std::string& kind, const std::string& identifier) {
        registerClassForSupplementaryViewOfKindWithReuseIdentifier(
            [] { return std::make_shared<View>(); }, kind, identifier);
    }
    // A waiting cell prepared for reuse, else a new one from the registered
    // factory; an unregistered identifier is logged and gets a plain cell.
    std::shared_ptr<UICollectionViewCell> dequeueReusableCellWithReuseIdentifierForIndexPath(
        const std::string& identifier, const NSIndexPath& indexPath);
    std::shared_ptr<UICollectionReusableView>
    dequeueReusableSupplementaryViewOfKindWithReuseIdentifierForIndexPath(
        const std::string& kind, const std::string& identifier, const NSIndexPath& indexPath);

    // Data.
    void reloadData();
    long numberOfSections();
    // 0 for a section out of range.
    long numberOfItemsInSection(long section);
    // Runs updates (inserts, deletes, reloads), then applies them at once;
    // completion runs when their animation ends (at once when nothing
    // animates), with false when it was cut short.
    void performBatchUpdatesCompletion(const std::function<void()>& updates,
                                       std::function<void(bool)> completion);
    void insertItemsAtIndexPaths(const std::vector<NSIndexPath>& paths);
    void deleteItemsAtIndexPaths(const std::vector<NSIndexPath>& paths);
    void reloadItemsAtIndexPaths(const std::vector<NSIndexPath>& paths);
    void insertSections(const std::set<long>& sections);
    void deleteSections(const std::set<long>& sections);
    void reloadSections(const std::set<long>& sections);

    // What is in sight.
    std::shared_ptr<UICollectionViewCell> cellForItemAtIndexPath(const NSIndexPath& indexPath);
    std::optional<NSIndexPath> indexPathForCell(const UICollectionViewCell& cell) const;
    // In order of the items.
    std::vector<std::shared_ptr<UICollectionViewCell>> visibleCells();
    std::vector<NSIndexPath> indexPathsForVisibleItems();
    std::vector<std::shared_ptr<UICollectionReusableView>> visibleSupplementaryViewsOfKind(
        const std::string& kind);
    // point in content coordinates.
    std::optional<NSIndexPath> indexPathForItemAtPoint(CGPoint point);
    std::optional<UICollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(
        const NSIndexPath& indexPath);
    void scrollToItemAtIndexPathAtScrollPositionAnimated(const NSIndexPath& indexPath,
                                                         unsigned position, bool animated);

    // Selection; changes in code tell the delegate nothing.
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool flag) { allowsSelection_ = flag; }
    bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool flag) { allowsMultipleSelection_ = flag; }
    std::vector<NSIndexPath> indexPathsForSelectedItems() const;
    void selectItemAtIndexPathAnimatedScrollPosition(const std::optional<NSIndexPath>& indexPath,
                                                     bool animated, unsigned position);
    void deselectItemAtIndexPathAnimated(const NSIndexPath& indexPath, bool animated);

    // Called by the layout.
    void layoutDidInvalidate();

    void layoutSubviews() override;
    void setBounds(const CGRect& bounds) override;
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

  private:
    // A supplementary view's place: its kind and index path.
    using SupplementaryKey = std::pair<std::string, NSIndexPath>;
    struct Update {
        enum Kind { Insert, Delete, Reload } kind;
        bool section;
        NSIndexPath path;  // for sections, the section with item 0
    };

    // A view taken off the screen by an update: it stays until the update's
    // animation ends, moving to `to` (an item gone out of sight) or else
    // fading out where it is.
    struct Leaving {
        std::shared_ptr<UICollectionReusableView> view;
        NSIndexPath path;
        std::string kind;  // empty for cells
        std::optional<CGRect> to;
    };
    // What one animated update changes on screen. Items coming into sight
    // start from where they stood before (`from`, by new index path) or fade
    // in.
    struct Transition {
        std::map<NSIndexPath, CGRect> from;
        std::vector<
            std::pair<std::shared_ptr<UICollectionReusableView>, UICollectionViewLayoutAttributes>>
            moves;
        std::vector<std::pair<std::shared_ptr<UICollectionReusableView>, CGFloat>> appearing;
        std::vector<Leaving> leaving;
    };

    void ensureLayout();
    // Places what stands in the visible rect. With a transition, views that
    // stay keep their place and new ones start transparent: the transition
    // records where they go.
    void place(Transition* transition);
    void animate(Transition transition, std::function<void(bool)> completion);
    void retire(const Leaving& leaving);
    void recycleAll();
    // Off the screen and into the pool: a cell (kind empty) or a
    // supplementary view of kind.
    void enqueue(const std::shared_ptr<UICollectionReusableView>& view, const NSIndexPath& path,
                 const std::string& kind);
    std::shared_ptr<UICollectionViewCell> makeCell(const NSIndexPath& path);
    std::shared_ptr<UICollectionReusableView> makeSupplementaryView(const std::string& kind,
                                                                    const NSIndexPath& path);
    bool validPath(const NSIndexPath& path) const;
    void record(Update::Kind kind, bool section, const std::vector<NSIndexPath>& paths);
    void applyUpdates(std::function<void(bool)> completion);
    void setItemSelected(const NSIndexPath& path, bool selected);
    void endHighlight();
    void tapItem(const NSIndexPath& path);

    std::shared_ptr<UICollectionViewLayout> layout_;
    std::weak_ptr<UICollectionViewDataSource> dataSource_;
    std::shared_ptr<UIView> backgroundView_;
    std::unordered_map<std::string, CellFactory> cellFactories_;
    std::map<std::pair<std::string, std::string>, ViewFactory> viewFactories_;

    // Item counts per section as last asked of the data source.
    std::vector<long> counts_;
    bool countsValid_ = false;
    bool layoutValid_ = false;
    int updateDepth_ = 0;
    std::vector<Update> updates_;

    std::map<NSIndexPath, std::shared_ptr<UICollectionViewCell>> visible_;
    std::map<SupplementaryKey, std::shared_ptr<UICollectionReusableView>> visibleViews_;
    std::vector<Leaving> leaving_;
    std::unordered_map<std::string, std::vector<std::shared_ptr<UICollectionViewCell>>> cellPool_;
    std::unordered_map<std::string, std::vector<std::shared_ptr<UICollectionReusableView>>>
        viewPool_;

    std::set<NSIndexPath> selected_;
    bool allowsSelection_ = true;
    bool allowsMultipleSelection_ = false;
    std::optional<NSIndexPath> touchedItem_;
    CGPoint touchStart_{};
};

using UICollectionViewRef = std::shared_ptr<UICollectionView>;
