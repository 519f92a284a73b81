#pragma once

#include <functional>
#include <memory>
#include <string>

#include "UIKit/UIAlertView.h"

class CBMapStoreMap;

// What a link to a place that no installed map covers, but a map of the
// store does, offers: an alert naming that map, whose "show in store"
// button opens the map's page in the store.
class CBLinkedStoreMapOffer : public UIAlertViewDelegate,
                              public std::enable_shared_from_this<CBLinkedStoreMapOffer> {
  public:
    using Opener = std::function<void(const std::string& identifier)>;

    // Shows the alert; the offer lives while its caller keeps it.
    static std::shared_ptr<CBLinkedStoreMapOffer> show(CBMapStoreMap& map, Opener open);

    const std::string& identifier() const { return identifier_; }
    const std::shared_ptr<UIAlertView>& alert() const { return alert_; }
    void alertViewClickedButtonAtIndex(UIAlertView& alert, long index) override;

    CBLinkedStoreMapOffer(std::string identifier, Opener open);

  private:
    std::string identifier_;
    Opener open_;
    std::shared_ptr<UIAlertView> alert_;
};
