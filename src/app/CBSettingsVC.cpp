#include "app/CBSettingsVC.h"

#include <fstream>
#include <sstream>

#include "Foundation/NSBundle.h"
#include "Foundation/NSNotificationCenter.h"
#include "Foundation/NSStringFormat.h"
#include "Foundation/NSUserDefaults.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UINavigationItem.h"
#include "UIKit/UISegmentedControl.h"
#include "UIKit/UISwitch.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITableViewCell.h"
#include "app/CBKelvaraSharedAppDelegate.h"
#include "app/CBMapViewController.h"
#include "foundation/NSString+CBNSStringAdditions.h"
#include "location/CBLocationManager.h"
#include "mapkit/CBDiskTileCache.h"
#include "mapkit/CBGeoDisplayManager.h"
#include "mapkit/CBMapScrollView.h"
#include "widgets/CBTextViewController.h"

namespace {
enum Section : long { kUnits, kCompass, kTileCache, kAttribution, kSectionCount };
}  // namespace

std::shared_ptr<UINavigationController> CBSettingsVC::settingsController(
    const std::optional<std::string>& licencePath) {
    auto settings = std::make_shared<CBSettingsVC>();
    if (licencePath) {
        std::ifstream file(*licencePath, std::ios::binary);
        std::ostringstream text;
        if (file && (text << file.rdbuf()))
            settings->licenceText_ = stringByJoiningWrappedLines(text.str());
    }
    auto navigation = std::make_shared<UINavigationController>(settings);
    std::weak_ptr<UINavigationController> weak = navigation;
    settings->navigationItem()->setRightBarButtonItem(
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItemDone, [weak](UIBarButtonItem&) {
            if (auto controller = weak.lock())
                controller->dismissViewControllerAnimatedCompletion(true, nullptr);
        }));
    return navigation;
}

CBSettingsVC::CBSettingsVC() : UITableViewController(UITableViewStyleGrouped) {
    setTitle(NSLocalizedString("SettingsTitle"));
}

std::shared_ptr<CBDiskTileCache> CBSettingsVC::tileCache() const {
    if (tileCache_)
        return tileCache_;
    if (auto delegate = CBKelvaraSharedAppDelegate::shared())
        if (const auto& screen = delegate->mapViewController(); screen && screen->mapView())
            if (const auto& display = screen->mapView()->displayManager())
                tileCache_ = display->diskCache();
    if (!tileCache_)
        tileCache_ = std::make_shared<CBDiskTileCache>();
    return tileCache_;
}

void CBSettingsVC::viewDidLoad() {
    UITableViewController::viewDidLoad();
}

long CBSettingsVC::numberOfSectionsInTableView(UITableView&) {
    return kSectionCount;
}

long CBSettingsVC::tableViewNumberOfRowsInSection(UITableView&, long) {
    return 1;
}

void CBSettingsVC::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
    table.deselectRowAtIndexPathAnimated(path, true);
    if (path.section == kTileCache) {
        tileCache()->removeAllTilesWithAlert(true);
        return;
    }
    if (path.section != kAttribution || !licenceText_)
        return;
    auto licence = std::make_shared<CBTextViewController>();
    licence->setTitle(NSLocalizedString("SettingsLicenceTitle"));
    licence->setText(*licenceText_);
    navigationController()->pushViewControllerAnimated(licence, true);
}

std::shared_ptr<UITableViewCell> CBSettingsVC::tableViewCellForRowAtIndexPath(
    UITableView&, const NSIndexPath& path) {
    auto cell = std::make_shared<UITableViewCell>(
        path.section == kAttribution ? UITableViewCellStyleSubtitle : UITableViewCellStyleDefault,
        "setting");
    auto defaults = NSUserDefaults::standardUserDefaults();
    switch (path.section) {
        case kUnits: {
            cell->textLabel()->setText(NSLocalizedString("SettingsDistancesIn"));
            auto units = std::make_shared<UISegmentedControl>(std::vector<std::string>{
                NSLocalizedString("SettingsKilometres"), NSLocalizedString("SettingsMiles")});
            units->setFrame(CGRectMake(0, 0, 110, 29));
            units->setSelectedSegmentIndex(defaults->boolForKey("km") ? 0 : 1);
            units->addTargetForControlEvents(
                [](UIControl& sender) {
                    auto& control = static_cast<UISegmentedControl&>(sender);
                    auto defaults = NSUserDefaults::standardUserDefaults();
                    defaults->setBoolForKey(control.selectedSegmentIndex() == 0, "km");
                    defaults->synchronize();
                    NSNotificationCenter::defaultCenter()->postNotificationName(
                        CBUnitsDidChangeNotification);
                },
                UIControlEventValueChanged);
            cell->setAccessoryView(units);
            break;
        }
        case kCompass: {
            cell->textLabel()->setText(NSLocalizedString("SettingsCompassWarning"));
            auto warning = std::make_shared<UISwitch>(CGRectMake(0, 0, 51, 31));
            warning->setOn(!defaults->boolForKey("CompassCalibrationWarningDisabled"));
            warning->addTargetForControlEvents(
                [](UIControl& sender) {
                    const bool show = static_cast<UISwitch&>(sender).isOn();
                    NSUserDefaults::standardUserDefaults()->setBoolForKey(
                        !show, "CompassCalibrationWarningDisabled");
                    CBLocationManager::setSharedInstanceShouldShowCompassCalibrationWarning(show);
                },
                UIControlEventValueChanged);
            cell->setAccessoryView(warning);
            break;
        }
        case kTileCache:
            cell->textLabel()->setText(NSLocalizedString("SettingsClearTileCache"));
            break;
        default:
            cell->textLabel()->setText(NSLocalizedString("SettingsMapAttribution"));
            cell->detailTextLabel()->setText(NSLocalizedFormat(
                "SettingsMapEngineVersionFormat", {CBMapScrollView::corvaneVersion()}));
            if (licenceText_)
                cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
            break;
    }
    return cell;
}
