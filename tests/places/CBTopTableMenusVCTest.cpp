#include "places/CBTopTableMenusVC.h"

#include <gtest/gtest.h>

#include <fstream>

#include "CBGeoData/CBGeoTag.h"
#include "PlacesFixture.h"
#include "UIKit/UILabel.h"
#include "UIKit/UITableView.h"

namespace {

using Course = CBTopTableMenusVC::Course;

class CBTopTableMenusVCTest : public PlacesTest {
  protected:
    std::vector<std::shared_ptr<CBGeoTag>> tags(const std::vector<std::string>& attributes) {
        std::vector<std::shared_ptr<CBGeoTag>> made;
        for (size_t i = 0; i < attributes.size(); ++i)
            made.push_back(CBGeoTag::tagWithKeyAndAttributeInContext(
                "TTMenuCourse" + std::to_string(i + 1), attributes[i],
                scratch()->managedObjectContext()));
        return made;
    }
    static std::vector<std::string> dishNames(const Course& course) {
        std::vector<std::string> names;
        for (const auto& dish : course.dishes)
            names.push_back(dish.name);
        return names;
    }
};

}  // namespace

TEST_F(CBTopTableMenusVCTest, CoursesAreDecodedFromTheirSeparators) {
    const auto courses = CBTopTableMenusVC::coursesFromMenuTags(
        tags({"Soup of the day",  // no dish: no course
              "Mains##Roast#12.50##Fish#market price#ask##Salad",
              "##",                 // an empty course with one empty dish
              "Drinks##Water#2#3",  // its only dish has two "#": kept without rows
              "Desserts###4"}));
    ASSERT_EQ(courses.size(), 4u);
    EXPECT_EQ(courses[0].name, "Mains");
    EXPECT_EQ(dishNames(courses[0]), (std::vector<std::string>{"Roast", "Salad"}));
    EXPECT_EQ(courses[0].dishes[0].price, "12.50");
    EXPECT_FALSE(courses[0].dishes[1].price);
    EXPECT_EQ(courses[1].name, "");
    EXPECT_EQ(dishNames(courses[1]), std::vector<std::string>{""});
    EXPECT_EQ(courses[2].name, "Drinks");
    EXPECT_TRUE(courses[2].dishes.empty());
    // "###4": the separator "##" first, then a dish of an empty name priced 4.
    EXPECT_EQ(dishNames(courses[3]), std::vector<std::string>{""});
    EXPECT_EQ(courses[3].dishes[0].price, "4");

    std::string many = "Tasting";
    for (int i = 0; i < 1000; ++i)
        many += "##Dish " + std::to_string(i) + "#" + std::to_string(i) + " \u20ac";
    const auto long_ = CBTopTableMenusVC::coursesFromMenuTags(tags({many}));
    ASSERT_EQ(long_.size(), 1u);
    EXPECT_EQ(long_[0].dishes.size(), 1000u);
    EXPECT_EQ(long_[0].dishes[999].price, "999 \u20ac");
}

TEST_F(CBTopTableMenusVCTest, CourseTitlesAreTranslatedAndKeepTheirNumbers) {
    // A translation of the course names of the test's own.
    const std::string bundle = home_.file("translated");
    std::filesystem::create_directories(bundle + "/en.lproj");
    std::ofstream(bundle + "/en.lproj/Localizable.strings")
        << "\"Course\" = \"Gang\";\n\"Starters\" = \"Vorspeisen\";\n";
    NSBundle::setMainBundlePath(bundle);
    EXPECT_EQ(CBTopTableMenusVC::titleForCourseName("Starters"), "Vorspeisen");
    EXPECT_EQ(CBTopTableMenusVC::titleForCourseName("Course 2"), "Gang 2");
    EXPECT_EQ(CBTopTableMenusVC::titleForCourseName("Course 1 and Course 2"), "Gang 1 and Gang 2");
    EXPECT_EQ(CBTopTableMenusVC::titleForCourseName("Specials"), "Specials");
    EXPECT_EQ(CBTopTableMenusVC::titleForCourseName(""), "");
}

TEST_F(CBTopTableMenusVCTest, TheScreenShowsCoursesInKeyOrderWithPricesAtTheRight) {
    auto context = scratch()->managedObjectContext();
    auto venue = CBGeoObject::objectInContextAtCoordinate(context, {53.55, 13.26});
    // Added out of order: the keys decide.
    venue->addTag(CBGeoTag::tagWithKeyAndAttributeInContext(
        "TTMenuCourse2", "Course 2##Roast pork#13.90 \u20ac", context));
    venue->addTag(CBGeoTag::tagWithKeyAndAttributeInContext(
        "TTMenuCourse1", "Starters##Soup#4.90 \u20ac##Bread", context));
    auto menus = CBTopTableMenusVC::initWithDefaultStyle();
    menus->setVenue(venue);
    navigation_ = std::make_shared<UINavigationController>(menus);
    window_ = makeWindow({320, 568});
    window_->setRootViewController(navigation_);
    window_->layoutIfNeeded();
    EXPECT_EQ(menus->title(), "Menus");
    EXPECT_TRUE(navigation_->isToolbarHidden());
    auto table = menus->tableView();
    ASSERT_EQ(table->numberOfSections(), 2);
    EXPECT_EQ(menus->tableViewTitleForHeaderInSection(*table, 0), "Starters");
    EXPECT_EQ(menus->tableViewTitleForHeaderInSection(*table, 1), "Course 2");
    EXPECT_EQ(table->numberOfRowsInSection(0), 2);

    auto soup = menus->tableViewCellForRowAtIndexPath(*table, {0, 0});
    EXPECT_EQ(soup->textLabel()->text(), "Soup");
    EXPECT_EQ(soup->selectionStyle(), UITableViewCellSelectionStyleNone);
    auto price = std::dynamic_pointer_cast<UILabel>(soup->accessoryView());
    ASSERT_TRUE(price);
    EXPECT_EQ(price->text(), "4.90 \u20ac");
    EXPECT_EQ(price->textAlignment(), NSTextAlignmentRight);
    EXPECT_EQ(price->bounds().size.width, 60);
    // A cell used again for a dish without a price shows none.
    auto bread = menus->tableViewCellForRowAtIndexPath(*table, {0, 1});
    EXPECT_EQ(bread->textLabel()->text(), "Bread");
    EXPECT_FALSE(bread->accessoryView());
}
