#include "UIKit/UIImageView.h"

#include "UIKit/UIGraphics.h"

UIImageView::UIImageView(const CGRect& frame) : UIView(frame) {
    setUserInteractionEnabled(false);
}

UIImageView::UIImageView(const UIImageRef& image)
    : UIImageView(CGRect{CGPointZero, image ? image->size() : CGSizeZero}) {
    setImage(image);
}

void UIImageView::setImage(const UIImageRef& image) {
    image_ = image;
    updateContents();
}

void UIImageView::setHighlightedImage(const UIImageRef& image) {
    highlightedImage_ = image;
    updateContents();
}

void UIImageView::setHighlighted(bool flag) {
    highlighted_ = flag;
    updateContents();
}

void UIImageView::setBounds(const CGRect& bounds) {
    UIView::setBounds(bounds);
    if (image_ && image_->capInsets() != UIEdgeInsetsZero) {
        updateContents();  // resizable images are drawn at the view's size
    }
}

void UIImageView::tintColorDidChange() {
    updateContents();
}

void UIImageView::updateContents() {
    UIImageRef image = highlighted_ && highlightedImage_ ? highlightedImage_ : image_;
    if (!image) {
        layer()->setContents(nullptr);
        return;
    }
    if (image->renderingMode() == UIImageRenderingMode::AlwaysTemplate) {
        image = image->imageTintedWithColor(tintColor());
    }
    if (image && image->capInsets() != UIEdgeInsetsZero) {
        // A resizable image is drawn into a bitmap of the view's size.
        const CGSize size = bounds().size;
        UIGraphicsBeginImageContextWithOptions(size, false, image->scale());
        image->drawInRect({CGPointZero, size});
        UIImageRef drawn = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        image = drawn;
    }
    if (!image) {
        layer()->setContents(nullptr);
        return;
    }
    layer()->setContentsScale(image->scale());
    layer()->setContents(image->CGImage());
}

CGSize UIImageView::sizeThatFits(CGSize) const {
    return image_ ? image_->size() : CGSizeZero;
}
