// Typing into a search bar whose display controller filters 500 places and
// reloads its results table: one character typed (filter, reload, the
// table's layout) and the frame drawn after it, at phone size and scale 2.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "Host/HostRenderer.h"
#include "QuartzCore/CAFrameClock.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UISearchDisplayController.h"
#include "UIKit/UITableView.h"
#include "UIKit/UIViewController.h"
#include "UIKit/UIWindow.h"

namespace {

// 500 street names; each holds "str" and "stre", so the results stay 500 rows.
class Streets : public UITableViewDataSource, public UISearchDisplayDelegate {
  public:
    Streets() {
        for (int i = 0; i < 500; ++i) {
            all.push_back("Neustrelitzer Stra\u00DFe " + std::to_string(i + 1));
        }
    }
    long tableViewNumberOfRowsInSection(UITableView&, long) override { return long(shown.size()); }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView& table, const NSIndexPath& path) override {
        auto cell = table.dequeueReusableCellWithIdentifier("street");
        if (!cell) {
            cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "street");
        }
        cell->textLabel()->setText(shown[size_t(path.row)]);
        return cell;
    }
    bool searchDisplayControllerShouldReloadTableForSearchString(UISearchDisplayController&,
                                                                 const std::string& text) override {
        shown.clear();
        for (const std::string& name : all) {
            if (name.find(text) != std::string::npos) {
                shown.push_back(name);
            }
        }
        return true;
    }
    std::vector<std::string> all, shown;
};

struct SearchScreen {
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UISearchBar> bar;
    std::shared_ptr<UISearchDisplayController> display;
    std::shared_ptr<Streets> streets = std::make_shared<Streets>();

    SearchScreen() {
        CAFrameClock::shared().setManual(true);
        UIScreen::mainScreen()->setBoundsSize({320, 568});
        UIScreen::mainScreen()->setScale(2);
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window->setBackgroundColor(UIColor::whiteColor());
        window->makeKeyAndVisible();
        auto controller = std::make_shared<UIViewController>();
        controller->setView(std::make_shared<UIView>(window->bounds()));
        bar = std::make_shared<UISearchBar>(CGRectMake(0, 20, 320, 44));
        controller->view()->addSubview(bar);
        window->setRootViewController(controller);
        display = UISearchDisplayController::create(bar, controller);
        display->setDelegate(streets);
        display->setSearchResultsDataSource(streets);
        window->layoutIfNeeded();
        bar->becomeFirstResponder();
        bar->searchField()->insertText("str");
    }
};

void typeCharacter(SearchScreen& screen, bool second) {
    if (second) {
        screen.bar->searchField()->deleteBackward();
    } else {
        screen.bar->searchField()->insertText("e");
    }
}

void BM_TypeIntoSearchBarOf500Results(benchmark::State& state) {
    SearchScreen screen;
    bool second = false;
    for (auto _ : state) {
        typeCharacter(screen, second);
        second = !second;
        screen.window->layoutIfNeeded();
    }
    state.counters["rows"] = double(screen.streets->shown.size());
}
BENCHMARK(BM_TypeIntoSearchBarOf500Results)->Unit(benchmark::kMicrosecond);

void BM_TypeIntoSearchBarAndDrawTheFrame(benchmark::State& state) {
    SearchScreen screen;
    HostRenderer renderer(screen.window, 2);
    renderer.renderFrame(false);
    bool second = false;
    for (auto _ : state) {
        typeCharacter(screen, second);
        second = !second;
        renderer.renderFrame(false);
    }
}
BENCHMARK(BM_TypeIntoSearchBarAndDrawTheFrame)->Unit(benchmark::kMillisecond);

}  // namespace
