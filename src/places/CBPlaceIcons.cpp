#include "places/CBPlaceIcons.h"

#include <algorithm>

#include "CBGeoData/CBGeoObject.h"
#include "CBGeoData/CBGeoTag.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITableViewCell.h"
#include "mapkit/VADMaskedIconView.h"
#include "mapkit/VADStyleTrait.h"

namespace {

// Icons of other sizes are centred in this square, so row texts line up.
constexpr CGFloat kIconSide = 20;

UIImageRef renderIcon(VADMaskedIconView& icon) {
    const CGSize size = icon.bounds().size;
    if (size.width <= 0 || size.height <= 0)
        return nullptr;
    const CGSize canvas{std::max(size.width, kIconSide), std::max(size.height, kIconSide)};
    UIGraphicsBeginImageContextWithOptions(canvas, false, UIScreen::mainScreen()->scale());
    if (CGContextRef context = UIGraphicsGetCurrentContext())
        context->translateCTM((canvas.width - size.width) / 2, (canvas.height - size.height) / 2);
    icon.drawRect(icon.bounds());
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

}  // namespace

UIImageRef CBIconForTag(const std::shared_ptr<CBGeoTag>& tag) {
    auto name = tag ? tag->iconImageName() : std::nullopt;
    return name ? UIImage::imageNamed("Quillmere.bundle/" + *name) : nullptr;
}

UIImageRef CBIconForObject(CBGeoObject& object) {
    return CBIconForTag(object.displayTypeTag());
}

void CBSetMaskedIconOfCell(UITableViewCell& cell, const UIImageRef& image, const UIColor& color) {
    if (!image) {
        cell.imageView()->setImage(nullptr);
        cell.imageView()->setHighlightedImage(nullptr);
        return;
    }
    VADMaskedIconView icon;
    icon.configureWithImage(image);
    icon.setTrait(*VADStyleTrait::iconTraitWithColor(color));
    icon.sizeToFit();
    cell.imageView()->setImage(renderIcon(icon));
    icon.setHighlighted(true);
    cell.imageView()->setHighlightedImage(renderIcon(icon));
}
