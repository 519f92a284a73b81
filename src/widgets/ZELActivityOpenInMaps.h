#pragma once

#include <optional>
#include <string>

#include "MapKit/MKMapItem.h"
#include "UIKit/UIActivity.h"

inline constexpr const char* ZELActivityTypeOpenInMaps = "ZELActivityTypeOpenInMaps";

// Share-sheet entry that hands a shared place (an MKMapItem among the items)
// to the desktop's map program.
class ZELActivityOpenInMaps : public UIActivity {
  public:
    std::string activityType() const override { return ZELActivityTypeOpenInMaps; }
    std::string activityTitle() const override { return "Open in Maps"; }
    bool canPerformWithActivityItems(const UIActivityItems& items) const override;
    void prepareWithActivityItems(const UIActivityItems& items) override;
    // Finishes with false, and a log line, when no map program took it.
    void performActivity() override;

  private:
    std::optional<MKMapItem> item_;
};
