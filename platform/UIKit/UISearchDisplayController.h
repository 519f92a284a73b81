#pragma once

#include <memory>
#include <string>

#include "UIKit/UISearchBar.h"

class NSNotificationObserver;
class UISearchDisplayController;
class UILabel;
class UITableView;
class UITableViewDataSource;
class UITableViewDelegate;
class UIViewController;

// What a search display controller asks and tells; every method is optional.
class UISearchDisplayDelegate {
  public:
    virtual ~UISearchDisplayDelegate() = default;
    virtual void searchDisplayControllerWillBeginSearch(UISearchDisplayController&) {}
    virtual void searchDisplayControllerDidBeginSearch(UISearchDisplayController&) {}
    virtual void searchDisplayControllerWillEndSearch(UISearchDisplayController&) {}
    virtual void searchDisplayControllerDidEndSearch(UISearchDisplayController&) {}
    virtual void searchDisplayControllerDidLoadSearchResultsTableView(UISearchDisplayController&,
                                                                      UITableView&) {}
    virtual void searchDisplayControllerWillShowSearchResultsTableView(UISearchDisplayController&,
                                                                       UITableView&) {}
    // Before the results table leaves the screen, still showing the last results.
    virtual void searchDisplayControllerWillHideSearchResultsTableView(UISearchDisplayController&,
                                                                       UITableView&) {}
    virtual void searchDisplayControllerDidHideSearchResultsTableView(UISearchDisplayController&,
                                                                      UITableView&) {}
    // Whether the results table reloads for the new search text.
    virtual bool searchDisplayControllerShouldReloadTableForSearchString(UISearchDisplayController&,
                                                                         const std::string&) {
        return true;
    }
};

// Searching over a screen: when its search bar begins editing the
// controller becomes active, dims the contents controller's view below the
// bar and shows the bar's Cancel button; while the bar holds text a results
// table (its own data source and delegate) covers the dimmed area and
// reloads when the delegate agrees; when it has no rows it says "No
// Results". Cancel, or a tap on the dimmed area,
// ends the search: the text is cleared, the keyboard goes and the screen is
// as before. The results scroll clear of the on-screen keyboard. The dimming
// and the results belong to the searching screen: covered by a screen pushed
// over it, they go with it and are there again, as they were, when it shows
// again. Main thread.
class UISearchDisplayController : public UISearchBarDelegate,
                                  public std::enable_shared_from_this<UISearchDisplayController> {
  public:
    static std::shared_ptr<UISearchDisplayController> create(
        std::shared_ptr<UISearchBar> searchBar, std::shared_ptr<UIViewController> contents);
    ~UISearchDisplayController() override;

    const std::shared_ptr<UISearchBar>& searchBar() const { return searchBar_; }
    std::shared_ptr<UIViewController> searchContentsController() const { return contents_.lock(); }
    // Made on first use.
    const std::shared_ptr<UITableView>& searchResultsTableView();
    void setSearchResultsDataSource(std::weak_ptr<UITableViewDataSource> dataSource);
    void setSearchResultsDelegate(std::weak_ptr<UITableViewDelegate> delegate);
    std::shared_ptr<UISearchDisplayDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UISearchDisplayDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    bool isActive() const { return active_; }
    void setActive(bool active) { setActiveAnimated(active, false); }
    void setActiveAnimated(bool active, bool animated);

    // The label that says "No Results"; nullptr before the table is made (tests).
    std::shared_ptr<UILabel> noResultsLabel() const;

    // The dimming view while active (tests).
    const std::shared_ptr<UIView>& dimmingView() const { return dimmingView_; }

    // UISearchBarDelegate (the bar tells the controller first).
    void searchBarTextDidBeginEditing(UISearchBar& bar) override;
    void searchBarTextDidChange(UISearchBar& bar, const std::string& text) override;
    void searchBarCancelButtonClicked(UISearchBar& bar) override;

  private:
    UISearchDisplayController(std::shared_ptr<UISearchBar> searchBar,
                              std::shared_ptr<UIViewController> contents);
    // Shows the dimming view or the table over the contents view below the
    // bar, going with that view wherever it goes; false without contents.
    bool showOverlayView(const std::shared_ptr<UIView>& overlay) const;
    void hideOverlayView(const std::shared_ptr<UIView>& overlay) const;
    void showResults(const std::string& text);
    // Keeps the results above the on-screen keyboard.
    void fitTableAboveKeyboard();

    std::shared_ptr<UISearchBar> searchBar_;
    std::weak_ptr<UIViewController> contents_;
    std::weak_ptr<UISearchDisplayDelegate> delegate_;
    std::weak_ptr<UITableViewDataSource> dataSource_;
    std::weak_ptr<UITableViewDelegate> tableDelegate_;
    std::shared_ptr<UITableView> table_;
    std::shared_ptr<UIView> dimmingView_;
    std::shared_ptr<NSNotificationObserver> keyboardObserver_;
    std::shared_ptr<NSNotificationObserver> hideObserver_;
    bool active_ = false;
    bool tableShown_ = false;
};
