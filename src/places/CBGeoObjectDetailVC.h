#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

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
class CBGeoDataManager;
class CBGeoObject;
class CBGeoSearchResult;
class CBGeoTag;
class CBMapScrollView;
class CBPinAnnotationView;
class CBPlacesHost;
class UIActivityViewController;
class UIBarButtonItem;
class UIImage;
class UIImageView;
class UILabel;
class UITableView;
class UITapGestureRecognizer;

// The detail screen of one place of the map shown: a small map with the
// place's pin and the distance and direction to it over a grouped table of
// what the map knows (name and bookmark note, phone, address, e-mail, web
// address, tags, nearby stops, the places at a street's address), and a
// toolbar to share the place, bookmark it and show it on the map. Opened for
// a search result (`object`), for a bookmark (`bookmark`, from the bookmark
// list) or for a pin the user dropped and may keep (`annotationForNewBookmark`).
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
        kSectionName = 10,
        kSectionNearbyStops = 16,
        kSectionPlacesAtAddress = 17,
    };
    // The rows of the name section, in their order.
    enum class NameRow { Title, Description, InternationalName };
    static constexpr long kDeleteBookmarkAlertTag = 89723;
    static constexpr const char* kNibName = "CBGeoObjectDetailVC";

    // Follows the location service from now on (until the screen goes).
    static std::shared_ptr<CBGeoObjectDetailVC> initWithDefaultNib(
        std::weak_ptr<CBPlacesHost> host);
    explicit CBGeoObjectDetailVC(std::weak_ptr<CBPlacesHost> host);
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
    const std::shared_ptr<UIBarButtonItem>& bookmarkButton() const { return bookmarkButton_; }
    const std::shared_ptr<UIAlertView>& alert() const { return alert_; }
    const std::shared_ptr<UIActivityViewController>& shareSheet() const { return shareSheet_; }

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
    void sendEmailTo(const std::string& address);

    // Bookmarks and sharing.
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
    void sharePoi();

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
    std::shared_ptr<CBGeoObjectDetailVC> self();
    std::shared_ptr<CBPlacesHost> host() const { return host_.lock(); }
    // The rows of each section model code (CBGeoObjectDetailVC.cpp).
    void configureSectionsForStreet(CBGeoObject& street);
    void configureSectionsForPlace(CBGeoObject& place);
    void setupNavigationButtons();
    // Header and distance (CBGeoObjectDetailVCHeader.cpp).
    void setupHeaderView();
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
    // The icons of the map engine's bundle: a tag's, and that of an
    // object's type; nullptr without one.
    static std::shared_ptr<UIImage> iconForTag(const std::shared_ptr<CBGeoTag>& tag);
    static std::shared_ptr<UIImage> iconForObject(CBGeoObject& object);
    std::string addressText();
    std::optional<std::string> webAddressToOpen();

    std::weak_ptr<CBPlacesHost> host_;
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

    std::shared_ptr<CBBookmarksManager> bookmarkManager_;
    std::shared_ptr<UIBarButtonItem> bookmarkButton_;
    std::shared_ptr<UIAlertView> alert_;
    std::shared_ptr<UIActivityViewController> shareSheet_;
};
