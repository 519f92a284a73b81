#include "UIKit/UISearchDisplayController.h"

#include <algorithm>

#include "Foundation/NSNotificationCenter.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIKeyboard.h"
#include "UIKit/UILabel.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "UIKit/UIViewController.h"

std::shared_ptr<UISearchDisplayController> UISearchDisplayController::create(
    std::shared_ptr<UISearchBar> searchBar, std::shared_ptr<UIViewController> contents) {
    std::shared_ptr<UISearchDisplayController> controller(
        new UISearchDisplayController(std::move(searchBar), std::move(contents)));
    controller->searchBar_->setController(controller);
    std::weak_ptr<UISearchDisplayController> weak = controller;
    auto fit = [weak](const NSNotification&) {
        if (auto self = weak.lock()) {
            self->fitTableAboveKeyboard();
        }
    };
    controller->keyboardObserver_ = NSNotificationCenter::defaultCenter()->addObserverForName(
        UIKeyboardDidShowNotification, nullptr, nullptr, fit);
    controller->hideObserver_ = NSNotificationCenter::defaultCenter()->addObserverForName(
        UIKeyboardDidHideNotification, nullptr, nullptr, fit);
    return controller;
}

UISearchDisplayController::UISearchDisplayController(std::shared_ptr<UISearchBar> searchBar,
                                                     std::shared_ptr<UIViewController> contents)
    : searchBar_(std::move(searchBar)), contents_(contents) {}

UISearchDisplayController::~UISearchDisplayController() {
    NSNotificationCenter::defaultCenter()->removeObserver(keyboardObserver_);
    NSNotificationCenter::defaultCenter()->removeObserver(hideObserver_);
    if (dimmingView_) {
        hideOverlayView(dimmingView_);
    }
    if (table_) {
        hideOverlayView(table_);
    }
}

namespace {

// The results table: says so in its background when a search found nothing,
// however the rows came (a reload of its own or one the data source asked for).
class UISearchResultsTableView : public UITableView {
  public:
    UISearchResultsTableView() : UITableView(CGRectZero, UITableViewStylePlain) {}

    // A view cannot add subviews while it is being constructed.
    void addNoResultsLabel() {
        auto background = std::make_shared<UIView>(CGRectZero);
        label_ = std::make_shared<UILabel>(CGRectMake(0, kTextTop, 0, kTextHeight));
        label_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
        label_->setTextAlignment(NSTextAlignmentCenter);
        label_->setTextColor(UIColor::grayColor());
        label_->setFont(UIFont::boldSystemFontOfSize(kTextSize));
        label_->setText("No Results");
        label_->setHidden(true);
        background->addSubview(label_);
        setBackgroundView(background);
    }
    const std::shared_ptr<UILabel>& noResultsLabel() const { return label_; }

    void layoutSubviews() override {
        UITableView::layoutSubviews();
        bool empty = true;
        for (long section = 0; empty && section < numberOfSections(); ++section)
            empty = numberOfRowsInSection(section) == 0;
        CGRect frame = label_->frame();
        frame.size.width = bounds().size.width;
        label_->setFrame(frame);
        label_->setHidden(!empty);
    }

  private:
    static constexpr CGFloat kTextTop = 44;
    static constexpr CGFloat kTextHeight = 44;
    static constexpr CGFloat kTextSize = 17;
    std::shared_ptr<UILabel> label_;
};

}  // namespace

std::shared_ptr<UILabel> UISearchDisplayController::noResultsLabel() const {
    return table_ ? static_cast<UISearchResultsTableView&>(*table_).noResultsLabel() : nullptr;
}

const std::shared_ptr<UITableView>& UISearchDisplayController::searchResultsTableView() {
    if (!table_) {
        auto table = std::make_shared<UISearchResultsTableView>();
        table->addNoResultsLabel();
        table_ = table;
        table_->setDataSource(dataSource_);
        table_->setDelegate(tableDelegate_);
        if (auto delegate = delegate_.lock()) {
            delegate->searchDisplayControllerDidLoadSearchResultsTableView(*this, *table_);
        }
    }
    return table_;
}

void UISearchDisplayController::setSearchResultsDataSource(
    std::weak_ptr<UITableViewDataSource> dataSource) {
    dataSource_ = std::move(dataSource);
    if (table_) {
        table_->setDataSource(dataSource_);
    }
}

void UISearchDisplayController::setSearchResultsDelegate(
    std::weak_ptr<UITableViewDelegate> delegate) {
    tableDelegate_ = std::move(delegate);
    if (table_) {
        table_->setDelegate(tableDelegate_);
    }
}

bool UISearchDisplayController::showOverlayView(const std::shared_ptr<UIView>& overlay) const {
    auto contents = contents_.lock();
    if (!contents) {
        return false;
    }
    auto view = contents->view();
    // Beside the contents view, not in it, so that it does not scroll with a
    // table that is the screen's view; as the view's companion it leaves and
    // comes back with the screen (one pushed over it covers it).
    const CGRect bounds = view->bounds();
    const CGRect bar = searchBar_->convertRectToView(searchBar_->bounds(), view);
    const CGFloat top = std::min(CGRectGetMaxY(bar), CGRectGetMaxY(bounds));
    view->addCompanionViewWithInsets(overlay,
                                     UIEdgeInsetsMake(top - CGRectGetMinY(bounds), 0, 0, 0));
    return true;
}

void UISearchDisplayController::hideOverlayView(const std::shared_ptr<UIView>& overlay) const {
    if (auto contents = contents_.lock(); contents && contents->isViewLoaded()) {
        contents->view()->removeCompanionView(overlay);
    }
    overlay->removeFromSuperview();
}

void UISearchDisplayController::setActiveAnimated(bool active, bool animated) {
    if (active_ == active) {
        return;
    }
    auto keep = shared_from_this();
    auto delegate = delegate_.lock();
    if (active) {
        if (delegate) {
            delegate->searchDisplayControllerWillBeginSearch(*this);
        }
        active_ = true;
        auto dimming = std::make_shared<UIView>(CGRectZero);
        dimming->setBackgroundColor(UIColor::colorWithWhiteAlpha(0, 0.4));
        auto tap = std::make_shared<UITapGestureRecognizer>(
            [weak = weak_from_this()](UIGestureRecognizer&) {
                if (auto self = weak.lock()) {
                    self->setActiveAnimated(false, true);
                }
            });
        dimming->addGestureRecognizer(tap);
        if (showOverlayView(dimming)) {
            dimmingView_ = dimming;
            if (animated) {
                dimmingView_->setAlpha(0);
                UIView::animateWithDurationAnimations(0.25,
                                                      [view = dimmingView_] { view->setAlpha(1); });
            }
        }
        searchBar_->setShowsCancelButtonAnimated(true, animated);
        if (!searchBar_->isFirstResponder()) {
            searchBar_->becomeFirstResponder();
        }
        showResults(searchBar_->text());
        if (delegate) {
            delegate->searchDisplayControllerDidBeginSearch(*this);
        }
        return;
    }
    if (delegate) {
        delegate->searchDisplayControllerWillEndSearch(*this);
    }
    active_ = false;
    searchBar_->setText("");
    searchBar_->resignFirstResponder();
    searchBar_->setShowsCancelButtonAnimated(false, animated);
    showResults("");
    if (dimmingView_) {
        hideOverlayView(dimmingView_);
        dimmingView_.reset();
    }
    if (delegate) {
        delegate->searchDisplayControllerDidEndSearch(*this);
    }
}

void UISearchDisplayController::showResults(const std::string& text) {
    auto delegate = delegate_.lock();
    const bool show = active_ && !text.empty();
    if (show) {
        auto& table = searchResultsTableView();
        if (!delegate ||
            delegate->searchDisplayControllerShouldReloadTableForSearchString(*this, text)) {
            table->reloadData();
        }
        if (!tableShown_ && contents_.lock()) {
            if (delegate) {
                delegate->searchDisplayControllerWillShowSearchResultsTableView(*this, *table);
            }
            tableShown_ = showOverlayView(table);
            fitTableAboveKeyboard();
        }
    } else if (tableShown_) {
        if (delegate) {
            delegate->searchDisplayControllerWillHideSearchResultsTableView(*this, *table_);
        }
        hideOverlayView(table_);
        tableShown_ = false;
        if (delegate) {
            delegate->searchDisplayControllerDidHideSearchResultsTableView(*this, *table_);
        }
    }
}

void UISearchDisplayController::fitTableAboveKeyboard() {
    if (!tableShown_) {
        return;
    }
    const CGRect keyboard = UIKeyboardFrame();
    const CGRect table = table_->convertRectToView(table_->bounds(), nullptr);
    const CGFloat covered = CGRectIsEmpty(keyboard)
                                ? 0
                                : std::max<CGFloat>(0, CGRectGetMaxY(table) - keyboard.origin.y);
    UIEdgeInsets inset = table_->contentInset();
    inset.bottom = covered;
    table_->setContentInset(inset);
    table_->setScrollIndicatorInsets(inset);
}

void UISearchDisplayController::searchBarTextDidBeginEditing(UISearchBar&) {
    setActiveAnimated(true, true);
}

void UISearchDisplayController::searchBarTextDidChange(UISearchBar&, const std::string& text) {
    if (active_) {
        showResults(text);
    }
}

void UISearchDisplayController::searchBarCancelButtonClicked(UISearchBar&) {
    setActiveAnimated(false, true);
}
