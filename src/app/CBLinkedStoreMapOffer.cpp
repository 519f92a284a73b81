#include "app/CBLinkedStoreMapOffer.h"

#include "Foundation/NSBundle.h"
#include "Foundation/NSStringFormat.h"
#include "packages/CBMapStoreMap.h"

std::shared_ptr<CBLinkedStoreMapOffer> CBLinkedStoreMapOffer::show(CBMapStoreMap& map,
                                                                   Opener open) {
    auto offer =
        std::make_shared<CBLinkedStoreMapOffer>(map.identifier().value_or(""), std::move(open));
    offer->alert_ = std::make_shared<UIAlertView>(
        NSLocalizedString("LinkNotOnYourMapsTitle"),
        NSLocalizedFormat("LinkOnStoreMapMessageFormat", {map.shortTitle()}), offer,
        NSLocalizedString("Cancel"),
        std::vector<std::string>{NSLocalizedString("LinkShowInStore")});
    offer->alert_->show();
    return offer;
}

CBLinkedStoreMapOffer::CBLinkedStoreMapOffer(std::string identifier, Opener open)
    : identifier_(std::move(identifier)), open_(std::move(open)) {}

void CBLinkedStoreMapOffer::alertViewClickedButtonAtIndex(UIAlertView& alert, long index) {
    if (index != alert.cancelButtonIndex() && open_)
        open_(identifier_);
}
