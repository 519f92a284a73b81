#include "UIKit/WebDocumentView.h"

#include "QuartzCore/CATiledLayer.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/WebDocument.h"

namespace {

std::shared_ptr<CATiledLayer> makeLayer() {
    auto layer = std::make_shared<CATiledLayer>();
    layer->setTileSize({512, 512});
    return layer;
}

}  // namespace

WebDocumentView::WebDocumentView(const CGRect& frame) : UIView(frame, makeLayer()) {
    setOpaque(true);
    setBackgroundColor(UIColor::whiteColor());
}

std::shared_ptr<WebDocument> WebDocumentView::document() const {
    std::lock_guard lock(mutex_);
    return document_;
}

void WebDocumentView::setDocument(std::shared_ptr<WebDocument> document) {
    {
        std::lock_guard lock(mutex_);
        document_ = std::move(document);
    }
    setNeedsDisplay();
}

void WebDocumentView::drawRect(const CGRect& rect) {
    auto context = UIGraphicsGetCurrentContext();
    auto page = document();
    if (!context)
        return;
    context->setFillColorWithColor(CGColorCreateGenericRGB(1, 1, 1, 1));
    context->fillRect(rect);
    if (page)
        page->draw(*context, rect);
}

std::vector<UIVisibleText> WebDocumentView::visibleTexts() const {
    auto page = document();
    return page ? page->visibleTexts() : std::vector<UIVisibleText>{};
}
