#pragma once

#include <memory>
#include <optional>

#include "widgets/CBViewControllerWithMapSortBar.h"
#include "wikipedia/CBWikipediaServices.h"

class CBWikipediaArticle;
class CBWikipediaManager;

// Every article of the current map's offline Wikipedia by title in letter
// sections with their index, or by distance; searched by the words of the
// search text, each of which a title must hold; shown on the main map; a
// row opens its article. The list is fetched once: it does not follow the
// store while shown.
class CBWikipediaTableVC : public CBViewControllerWithMapSortBar {
  public:
    static constexpr long kSectionIndexMinimumDisplayRowCount = 5;

    // The host shows the list's pins on the main map.
    explicit CBWikipediaTableVC(CBWikipediaServices services);

    const std::shared_ptr<CBWikipediaManager>& manager() const { return services_.manager; }
    void setManager(std::shared_ptr<CBWikipediaManager> manager) {
        services_.manager = std::move(manager);
    }

    std::shared_ptr<CBWikipediaArticle> articleForTableIndexPath(UITableView& table,
                                                                 const NSIndexPath& indexPath);
    void updateFetchPredicate();

    std::shared_ptr<NSFetchedResultsController> newFetchedResultsController() override;
    // Metres from the last fix; nullopt for an article without a position.
    std::optional<double> distanceOfObject(NSManagedObject& object) override;
    CBAnnotationRef annotationForObject(const std::shared_ptr<NSManagedObject>& object) override;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;

    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table,
                                                                    const NSIndexPath&) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath&) override;

    void searchDisplayControllerDidBeginSearch(UISearchDisplayController&) override;
    void searchDisplayControllerDidLoadSearchResultsTableView(UISearchDisplayController&,
                                                              UITableView& table) override;
    bool searchDisplayControllerShouldReloadTableForSearchString(UISearchDisplayController&,
                                                                 const std::string&) override;
    void searchDisplayControllerWillEndSearch(UISearchDisplayController&) override;

  private:
    CBWikipediaServices services_;
};
