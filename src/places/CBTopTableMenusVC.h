#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UIKit/UITableViewController.h"

class CBGeoObject;
class CBGeoTag;

// The menus of a restaurant-guide venue: one section per course, one row
// per dish with its price at the right. Each course is one of the venue's
// "TTMenuCourse..." tags, in key order: the course's name, then each dish
// after "##"; a dish is its name, or its name, "#" and its price.
class CBTopTableMenusVC : public UITableViewController {
  public:
    struct Dish {
        std::string name;
        std::optional<std::string> price;
    };
    struct Course {
        std::string name;
        std::vector<Dish> dishes;
    };
    static constexpr CGSize kPriceSize{60, 30};

    // initWithDefaultStyle: a grouped table titled with "MenuTitle".
    static std::shared_ptr<CBTopTableMenusVC> initWithDefaultStyle();
    CBTopTableMenusVC();

    const std::shared_ptr<CBGeoObject>& venue() const { return venue_; }
    void setVenue(std::shared_ptr<CBGeoObject> venue) { venue_ = std::move(venue); }
    const std::vector<Course>& menus() const { return menus_; }

    // Fills menus() from the venue's tags.
    void decodeContent();
    // The courses of menu tags, in the order given: a tag without a dish
    // gives no course, a dish of more than one "#" is left out (its course
    // stays, maybe without dishes).
    static std::vector<Course> coursesFromMenuTags(
        const std::vector<std::shared_ptr<CBGeoTag>>& tags);
    // A course's section title: its name translated when it is a known
    // course name, with "Course" in it translated.
    static std::string titleForCourseName(const std::string& name);

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;

    long numberOfSectionsInTableView(UITableView&) override;
    long tableViewNumberOfRowsInSection(UITableView&, long section) override;
    std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&,
                                                                long section) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        UITableView& table, const NSIndexPath& indexPath) override;

  private:
    std::shared_ptr<CBGeoObject> venue_;
    std::vector<Course> menus_;
};
