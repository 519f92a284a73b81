#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/Value.h"
#include "MessageUI/MFMailComposeViewController.h"
#include "UIKit/UIActivity.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UITableViewDataSource.h"
#include "UIKit/UITableViewDelegate.h"
#include "UIKit/UIViewController.h"
#include "location/CBLocationManagerDelegate.h"
#include "mapkit/CBMapScrollViewDelegate.h"

class CBBasicAnnotation;
class CBBookmarksManager;
class CBCurrentMap;
class CBFramedImageView;
class CBGeoDataManager;
class CBGeoObject;
class CBGeoRelation;
class CBGeoSearchResult;
class CBGeoTag;
class CBMapScrollView;
class CBPinAnnotationView;
class CBPlacesHost;
class CBWebBrowser;
class UIActivityViewController;
class UIBarButtonItem;
class ZELRoundedGradientButton;
class UIImage;
class UIImageView;
class UILabel;
class UITableView;
class UITapGestureRecognizer;

// The detail screen of one place of the map shown: a small map with the
// place's pin and the distance and direction to it over a grouped table of
// what the map knows (name and bookmark note, phone, address, e-mail, web
// address, tags, the bus, tram, train and ferry lines of a stop and the
// stops nearby, a street's house numbers and the places along it or at its
// address), and a toolbar to share the place, bookmark it and show it on the
// map. A restaurant of the map's restaurant guide adds the guide's photo,
// ratings, description and tags, menus, checklist and a way to book a table.
// Opened for a search result (`object`), for a bookmark (`bookmark`, from the
// bookmark list) or for a pin the user dropped and may keep
// (`annotationForNewBookmark`).
class CBGeoObjectDetailVC : public UIViewController,
                            public UITableViewDataSource,
                            public UITableViewDelegate,
                            public CBLocationManagerDelegate,
                            public CBMapScrollViewDelegate,
                            public UIAlertViewDelegate,
                            public MFMailComposeViewControllerDelegate {
  public:
    // The kinds of table sections, in the order the section model uses them.
    enum SectionType : int {
        kSectionTags = 0,
        kSectionAddress = 1,
        kSectionPhone = 2,
        kSectionEmail = 3,
        kSectionWeb = 4,
        kSectionPlacesAlongStreet = 7,
        kSectionStreetAddresses = 8,
        kSectionName = 10,
        kSectionTramRoutes = 11,
        kSectionTrainRoutes = 12,
        kSectionBusRoutes = 13,
        kSectionFerryRoutes = 14,
        kSectionNearbyStops = 16,
        kSectionPlacesAtAddress = 17,
        kSectionTopTableTags = 40,
        kSectionTopTableMenus = 41,
        kSectionTopTableChecklist = 42,
        kSectionTopTableRatings = 43,
    };
    // The rows of the name section, in their order.
    enum class NameRow { Title, Description, InternationalName };
    static constexpr long kDeleteBookmarkAlertTag = 89723;
    // The guide tag of a venue's description, shown in three lines that open
    // the whole text.
    static constexpr const char* kTopTableDescriptionKey = "TTDescription";
    static constexpr const char* kNibName = "CBGeoObjectDetailVC";

    // Follows the location service from now on (until the screen goes).
    // The place is one of the current map, whose small map the header shows.
    static std::shared_ptr<CBGeoObjectDetailVC> initWithDefaultNib(
        std::weak_ptr<CBPlacesHost> host, std::shared_ptr<CBCurrentMap> currentMap);
    CBGeoObjectDetailVC(std::weak_ptr<CBPlacesHost> host, std::shared_ptr<CBCurrentMap> currentMap);
    ~CBGeoObjectDetailVC() override;

    // Set by the opener before the screen is shown.
    const std::shared_ptr<CBGeoSearchResult>& object() const { return object_; }
    void setObject(std::shared_ptr<CBGeoSearchResult> object) { object_ = std::move(object); }
    const std::shared_ptr<CBGeoSearchResult>& bookmark() const { return bookmark_; }
    void setBookmark(std::shared_ptr<CBGeoSearchResult> bookmark) {
        bookmark_ = std::move(bookmark);
    }
    const std::shared_ptr<CBBasicAnnotation>& annotationForNewBookmark() const {
        return annotationForNewBookmark_;
    }
    void setAnnotationForNewBookmark(std::shared_ptr<CBBasicAnnotation> annotation) {
        annotationForNewBookmark_ = std::move(annotation);
    }
    const std::shared_ptr<CBGeoDataManager>& dataManager() const { return dataManager_; }
    void setDataManager(std::shared_ptr<CBGeoDataManager> manager) {
        dataManager_ = std::move(manager);
    }
    bool isOnMap() const { return isOnMap_; }
    void setIsOnMap(bool flag) { isOnMap_ = flag; }
    bool openedFromBookmarksTable() const { return openedFromBookmarksTable_; }
    void setOpenedFromBookmarksTable(bool flag) { openedFromBookmarksTable_ = flag; }

    // What the screen shows.
    const std::shared_ptr<CBGeoObject>& displayObject() const { return displayObject_; }
    const std::shared_ptr<UITableView>& tableView() const { return tableView_; }
    const std::shared_ptr<UIView>& headerView() const { return headerView_; }
    const std::shared_ptr<CBMapScrollView>& headerMapScrollView() const {
        return headerMapScrollView_;
    }
    const std::shared_ptr<UIView>& distanceViewContainer() const { return distanceViewContainer_; }
    const std::shared_ptr<UILabel>& distanceLabel() const { return distanceLabel_; }
    const std::shared_ptr<UIImageView>& directionArrowView() const { return directionArrowView_; }
    const std::shared_ptr<CBPinAnnotationView>& annotationPinView() const {
        return annotationPinView_;
    }
    // Whether the location service followed the heading before the screen
    // came; the screen then leaves it running when it goes.
    bool locationManagerWasUpdatingHeading() const { return locationManagerWasUpdatingHeading_; }
    const std::shared_ptr<UIBarButtonItem>& bookmarkButton() const { return bookmarkButton_; }
    const std::shared_ptr<UIAlertView>& alert() const { return alert_; }
    const std::shared_ptr<UIActivityViewController>& shareSheet() const { return shareSheet_; }
    // The guide's photo of a restaurant; hidden for other places.
    const std::shared_ptr<CBFramedImageView>& headerPhotoView() const { return headerPhotoView_; }
    // The title row's booking button of a venue that takes bookings.
    const std::shared_ptr<ZELRoundedGradientButton>& bookButton() const { return bookButton_; }
    bool showsRatings() const { return showsRatings_; }
    bool showsChecklist() const { return showsChecklist_; }

    // The section model.
    void configureSectionsForObject();
    const std::vector<int>& sectionTypes() const { return sectionTypes_; }
    // -1 for a section beyond the model.
    int typeForSection(long section) const;
    // The first section of the type; nullopt when there is none.
    std::optional<long> indexForSectionType(int type) const;
    // The rows of the name section.
    std::vector<NameRow> nameRows();

    void showOnMap();
    void recenterMap();
    void updateDistanceViewDisplayedObject();
    void updateAnnotationColor();

    // Rows.
    void configureCellAtIndex(UITableViewCell& cell, const NSIndexPath& indexPath);
    void openDetailForObject(const std::shared_ptr<CBGeoObject>& object);
    void openDetailForRelation(const std::shared_ptr<CBGeoRelation>& relation);
    void sendEmailTo(const std::string& address);

    // The restaurant guide (CBGeoObjectDetailVCTopTable.cpp): the ratings and
    // the checklist open and close below their first row.
    void toggleRatings();
    void toggleChecklist();
    void openTTDescription(const std::shared_ptr<CBGeoTag>& tag);
    void openTTMenus();
    // Asks how to book: on the guide's web page, by the hotline or both.
    void bookTopTable();
    void topTableBookOnline();
    void topTableBookHotline();
    void dismissModalViewController();

    // Bookmarks and sharing. The place's bookmark is looked up once, as the
    // screen opens; adding or deleting it here keeps what was stored.
    void findBookmarkOfPlace();
    // The toolbar's button and the pin's colour after the bookmark.
    void updateBookmarkStatus();
    // Adds the bookmark, or asks whether to delete it.
    void toggleBookmark();
    void deleteBookmark();
    void saveNewBookmark();
    void cancel();
    // YES edits the note, NO the title.
    void openEditorForBookmarkDescription(bool description);
    // What the share sheet is given: the text with the place's title and
    // web link, a map item at the place, and the place itself.
    UIActivityItems itemsForSharing();
    // On the pad the sheet's popover points at the sender, the toolbar item.
    void sharePoi(const std::shared_ptr<UIBarButtonItem>& sender = nullptr);

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewDidLayoutSubviews() override;
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;

    long numberOfSectionsInTableView(UITableView&) override;
    long tableViewNumberOfRowsInSection(UITableView&, long section) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table,
                                                                    const NSIndexPath&) override;
    std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&,
                                                                long section) override;
    std::optional<std::string> tableViewTitleForFooterInSection(UITableView&,
                                                                long section) override;
    bool tableViewCanEditRowAtIndexPath(UITableView&, const NSIndexPath&) override { return false; }
    std::optional<CGFloat> tableViewHeightForRowAtIndexPath(UITableView&,
                                                            const NSIndexPath&) override;
    std::optional<CGFloat> tableViewHeightForFooterInSection(UITableView&, long section) override;
    std::shared_ptr<UIView> tableViewViewForFooterInSection(UITableView& table,
                                                            long section) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath&) override;

    void locationManagerDidUpdateToLocationFromLocation(CBLocationManager&,
                                                        std::shared_ptr<CLLocation>,
                                                        std::shared_ptr<CLLocation>) override;
    void locationManagerDidUpdateHeading(CBLocationManager&, std::shared_ptr<CLHeading>) override;
    void locationManagerDidFailWithError(CBLocationManager&, const NSError&) override;
    std::shared_ptr<CBAnnotationView> mapScrollViewViewForAnnotation(
        CBMapScrollView& map, const CBAnnotationRef& annotation) override;
    void alertViewDidDismissWithButtonIndex(UIAlertView& alert, long index) override;
    void mailComposeControllerDidFinishWithResultError(MFMailComposeViewController&,
                                                       MFMailComposeResult,
                                                       const std::optional<NSError>&) override;

  private:
    bool bookmarkStoreIsOpen() const;
    std::shared_ptr<CBGeoObjectDetailVC> self();
    // The map screen that opened the place.
    std::shared_ptr<CBPlacesHost> mapViewController() const { return host_.lock(); }
    // The rows of each section model code (CBGeoObjectDetailVC.cpp).
    void configureSectionsForStreet(CBGeoObject& street);
    void configureSectionsForPlace(CBGeoObject& place);
    void configureSectionsForTopTableVenue(CBGeoObject& venue);
    // The lines of a section of bus, tram, train or ferry connections.
    const std::vector<std::shared_ptr<CBGeoRelation>>* routesForSection(int type) const;
    void setupNavigationButtons();
    // Header and distance (CBGeoObjectDetailVCHeader.cpp).
    void setupHeaderView();
    void setupHeaderPhoto();
    void addHeaderAnnotation();
    CLLocationCoordinate2D shownCoordinate() const;
    // The compass turns the arrow once the place's distance is known.
    void startHeadingUpdatesIfUseful();
    // Toolbar and bookmark rows (CBGeoObjectDetailVCBookmark.cpp).
    void setupToolbar();
    void configureNameCell(UITableViewCell& cell, NameRow role, long row);
    void selectNameRow(NameRow role);
    bool isEditableBookmark();
    // Closes the screen: back to the screen before, or the popover.
    void close();
    // Rows (CBGeoObjectDetailVCRows.cpp).
    std::shared_ptr<UITableViewCell> makeCellForSection(int type, const NSIndexPath& indexPath);
    std::shared_ptr<CBGeoTag> tagForRow(long row) const;
    // The icon in the view's tint colour, white while the row is highlighted.
    void setMaskedIcon(UITableViewCell& cell, const std::shared_ptr<UIImage>& image);
    std::string addressText();
    std::optional<std::string> webAddressToOpen();
    // The readable texts of tags, from the data manager (read once).
    const Value& tagTranslations();
    std::string tagValueText(CBGeoTag& tag);
    std::string tagKeyText(CBGeoTag& tag);
    // A tag row: the readable value over the readable key, with the tag's icon.
    void configureTagCell(UITableViewCell& cell, const std::shared_ptr<CBGeoTag>& tag);
    // Restaurant-guide rows (CBGeoObjectDetailVCTopTable.cpp).
    std::shared_ptr<UITableViewCell> makeTopTableCell(int type, const NSIndexPath& indexPath,
                                                      const std::string& identifier);
    void configureTopTableCell(UITableViewCell& cell, int type, long row);
    std::optional<CGFloat> heightForTopTableRow(int type, long row);
    void selectTopTableRow(int type, long row);
    std::shared_ptr<CBGeoTag> topTableTagForRow(long row) const;
    // The booking button for the title row of a venue that takes bookings.
    std::shared_ptr<UIView> bookingButtonForVenue();
    // Opens or closes the rows under the first of a section.
    void toggleRowsOfSection(int type, bool& shown, size_t count);
    void topTableAlertDismissedWithButton(long button);

    std::weak_ptr<CBPlacesHost> host_;
    std::shared_ptr<CBCurrentMap> currentMap_;
    std::shared_ptr<CBGeoSearchResult> object_;
    std::shared_ptr<CBGeoSearchResult> bookmark_;
    std::shared_ptr<CBBasicAnnotation> annotationForNewBookmark_;
    std::shared_ptr<CBGeoDataManager> dataManager_;
    bool isOnMap_ = false;
    bool openedFromBookmarksTable_ = false;

    std::shared_ptr<CBGeoObject> displayObject_;
    std::shared_ptr<UITableView> tableView_;
    std::shared_ptr<UIView> headerView_;
    std::shared_ptr<CBMapScrollView> headerMapScrollView_;
    std::shared_ptr<CBFramedImageView> headerPhotoView_;
    std::shared_ptr<UIView> distanceViewContainer_;
    std::shared_ptr<UILabel> distanceLabel_;
    std::shared_ptr<UIImageView> directionArrowView_;
    std::shared_ptr<CBPinAnnotationView> annotationPinView_;
    std::shared_ptr<UITapGestureRecognizer> headerTap_;
    CBAnnotationRef headerAnnotation_;
    // The header map's size when it was last put on the place.
    CGSize centredMapSize_{};
    bool locationManagerWasUpdatingHeading_ = false;
    bool startedHeadingUpdates_ = false;
    bool locationManagerWasUpdating_ = false;
    bool startedLocationUpdates_ = false;

    bool isiPad_ = false;
    bool firstAppearance_ = true;
    std::vector<int> sectionTypes_;
    std::vector<std::shared_ptr<CBGeoTag>> sortedTags_;
    std::vector<std::shared_ptr<CBGeoObject>> nearbyStops_;
    std::vector<std::shared_ptr<CBGeoObject>> POIsAtAddress_;
    std::vector<std::shared_ptr<CBGeoRelation>> busRoutes_;
    std::vector<std::shared_ptr<CBGeoRelation>> tramRoutes_;
    std::vector<std::shared_ptr<CBGeoRelation>> trainRoutes_;
    std::vector<std::shared_ptr<CBGeoRelation>> ferryRoutes_;
    std::vector<std::shared_ptr<CBGeoTag>> sortedTopTableTags_;
    std::vector<std::shared_ptr<CBGeoTag>> sortedTopTableChecklist_;
    std::vector<std::shared_ptr<CBGeoTag>> sortedTopTableRating_;
    bool showsChecklist_ = false;
    bool showsRatings_ = false;
    std::shared_ptr<ZELRoundedGradientButton> bookButton_;
    std::optional<Value> tagTranslations_;

    std::shared_ptr<CBBookmarksManager> bookmarkManager_;
    std::shared_ptr<UIBarButtonItem> bookmarkButton_;
    std::shared_ptr<UIAlertView> alert_;
    std::shared_ptr<UIActivityViewController> shareSheet_;
};
