// Frame costs of scrolling lists at phone size and scale 2: each frame moves
// the content by a finger's step or a wheel notch, lays out (cells leaving
// sight are reused for those coming in) and composites the window.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "Host/HostRenderer.h"
#include "Host/HostTouchInput.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UICollectionView.h"
#include "UIKit/UICollectionViewFlowLayout.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITableView.h"
#include "UIKit/UIWindow.h"

namespace {

constexpr CGSize kPhone{320, 568};
constexpr CGFloat kStep = 12;  // points a frame, a brisk flick

std::shared_ptr<UIWindow> phoneWindow() {
    CAFrameClock::shared().setManual(true);
    UIScreen::mainScreen()->setBoundsSize(kPhone);
    UIScreen::mainScreen()->setScale(2);
    auto window = std::make_shared<UIWindow>(CGRect{CGPointZero, kPhone});
    window->setBackgroundColor(UIColor::whiteColor());
    return window;
}

// Moves the scroll view a step a frame, back to the top at the end.
void scrollFrames(benchmark::State& state, UIScrollView& view, HostRenderer& renderer) {
    renderer.renderFrame(false);
    for (auto _ : state) {
        CGPoint offset = view.contentOffset();
        offset.y += kStep;
        if (offset.y > view.maximumContentOffset().y) {
            offset.y = 0;
        }
        view.setContentOffset(offset);
        benchmark::DoNotOptimize(renderer.renderFrame(false));
    }
}

class TileCell : public UICollectionViewCell {
  public:
    TileCell() : label_(std::make_shared<UILabel>()) {
        label_->setTextAlignment(NSTextAlignmentCenter);
        label_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                    UIViewAutoresizingFlexibleHeight);
        contentView()->addSubview(label_);
        contentView()->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.8, 0.88, 1, 1));
    }
    void show(const std::string& text) {
        label_->setFrame(contentView()->bounds());
        label_->setText(text);
    }

  private:
    std::shared_ptr<UILabel> label_;
};

class Tiles : public UICollectionViewDataSource {
  public:
    long collectionViewNumberOfItemsInSection(UICollectionView&, long) override { return 200; }
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        UICollectionView& view, const NSIndexPath& path) override {
        auto cell = std::static_pointer_cast<TileCell>(
            view.dequeueReusableCellWithReuseIdentifierForIndexPath("tile", path));
        cell->show("Item " + std::to_string(path.row));
        return cell;
    }
};

void BM_ScrollCollectionView200(benchmark::State& state) {
    auto window = phoneWindow();
    auto layout = std::make_shared<UICollectionViewFlowLayout>();
    layout->setItemSize({96, 120});
    layout->setSectionInset({10, 10, 10, 10});
    auto view = std::make_shared<UICollectionView>(window->bounds(), layout);
    view->setBackgroundColor(UIColor::whiteColor());
    view->registerCellClass<TileCell>("tile");
    auto tiles = std::make_shared<Tiles>();
    view->setDataSource(tiles);
    window->addSubview(view);
    HostRenderer renderer(window, 2);
    scrollFrames(state, *view, renderer);
    state.counters["visible"] = double(view->visibleCells().size());
    state.SetLabel("200 cells, 3 a line, 640x1136 px");
}
BENCHMARK(BM_ScrollCollectionView200)->Unit(benchmark::kMillisecond);

class Rows : public UITableViewDataSource {
  public:
    long tableViewNumberOfRowsInSection(UITableView&, long) override { return 1000; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView& table, const NSIndexPath& path) override {
        auto cell = table.dequeueReusableCellWithIdentifier("row");
        if (!cell) {
            cell = std::make_shared<UITableViewCell>(UITableViewCellStyleSubtitle, "row");
        }
        cell->textLabel()->setText("Row " + std::to_string(path.row));
        cell->detailTextLabel()->setText("A detail line under row " + std::to_string(path.row));
        cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
        return cell;
    }
};

// A phone window filled with a table of the 1000 rows.
struct RowsWindow {
    RowsWindow() {
        table->setDataSource(rows);
        window->addSubview(table);
    }
    std::shared_ptr<UIWindow> window = phoneWindow();
    std::shared_ptr<Rows> rows = std::make_shared<Rows>();
    std::shared_ptr<UITableView> table = std::make_shared<UITableView>(window->bounds());
};

void BM_ScrollTable1000(benchmark::State& state) {
    RowsWindow rows;
    HostRenderer renderer(rows.window, 2);
    scrollFrames(state, *rows.table, renderer);
    state.counters["visible"] = double(rows.table->visibleCells().size());
    state.SetLabel("1000 subtitle rows, 640x1136 px");
}
BENCHMARK(BM_ScrollTable1000)->Unit(benchmark::kMillisecond);

// A wheel notch a frame over the same table: finding the table under the
// pointer, the 48-point scroll and the flashed indicator drawn with it.
void BM_WheelTable1000(benchmark::State& state) {
    RowsWindow rows;
    HostRenderer renderer(rows.window, 2);
    HostTouchInput input(rows.window);
    renderer.renderFrame(false);
    for (auto _ : state) {
        if (rows.table->contentOffset().y >= rows.table->maximumContentOffset().y) {
            rows.table->setContentOffset(CGPointZero);
        }
        input.wheel({160, 300}, -1);
        benchmark::DoNotOptimize(renderer.renderFrame(false));
    }
    state.SetLabel("1000 subtitle rows, 640x1136 px");
}
BENCHMARK(BM_WheelTable1000)->Unit(benchmark::kMillisecond);

}  // namespace
