#include "widgets/ZELToolTip.h"

#include <set>

#include "CoreGraphics/CGPath.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSUserDefaults.h"
#include "UIKit/UIFont.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"

namespace {
constexpr CGFloat kMargin = 12;
constexpr CGFloat kMaximumWidth = 260;

std::weak_ptr<ZELToolTip>& current() {
    static std::weak_ptr<ZELToolTip> tip;
    return tip;
}

std::set<std::string>& shownThisRun() {
    static std::set<std::string> keys;
    return keys;
}

std::string defaultsKey(const std::string& key) {
    return "ZELToolTip-" + key;
}

// Sits unseen in the owner's view and sends the tip away when that view
// leaves the window: the screen that showed the tip is gone.
class OwnerWatch : public UIView {
  public:
    explicit OwnerWatch(std::weak_ptr<ZELToolTip> tip) : tip_(std::move(tip)) {
        setHidden(true);
        setUserInteractionEnabled(false);
    }
    void didMoveToWindow() override {
        if (window())
            return;
        if (auto tip = tip_.lock())
            tip->dismiss();
    }

  private:
    std::weak_ptr<ZELToolTip> tip_;
};
}  // namespace

bool ZELToolTip::showInViewWithTextTopImageBottomImageForKeyMaxShows(
    const std::shared_ptr<UIView>& view, const std::string& text,
    const std::shared_ptr<UIImage>& topImage, const std::shared_ptr<UIImage>& bottomImage,
    const std::optional<std::string>& key, long maxShows, const std::shared_ptr<UIView>& owner) {
    if (!view || currentToolTip())
        return false;
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (key) {
        if (shownThisRun().count(*key) || defaults->integerForKey(defaultsKey(*key)) > maxShows)
            return false;
        shownThisRun().insert(*key);
        defaults->setIntegerForKey(defaults->integerForKey(defaultsKey(*key)) + 1,
                                   defaultsKey(*key));
    }
    const CGRect bounds = view->bounds();
    const CGFloat width = std::min(kMaximumWidth, bounds.size.width - 2 * kMargin);
    auto tip = std::make_shared<ZELToolTip>(CGRectMake(0, 0, width, 0), text);
    tip->addSubview(tip->label_);
    CGFloat height = tip->label_->sizeThatFits({width - 2 * kMargin, 1000}).height + 2 * kMargin;
    for (const auto& image : {topImage, bottomImage}) {
        if (!image)
            continue;
        auto imageView = std::make_shared<UIImageView>(image);
        imageView->setTag(image == topImage ? 1 : 2);
        tip->addSubview(imageView);
        height += image->size().height + kMargin / 2;
    }
    tip->setFrame(CGRectMake(bounds.origin.x + (bounds.size.width - width) / 2,
                             bounds.origin.y + (bounds.size.height - height) / 2, width, height));
    view->addSubview(tip);
    tip->ownerWatch_ = std::make_shared<OwnerWatch>(tip);
    (owner ? owner : view)->addSubview(tip->ownerWatch_);
    current() = tip;
    return true;
}

std::shared_ptr<ZELToolTip> ZELToolTip::currentToolTip() {
    auto tip = current().lock();
    return tip && tip->superview() ? tip : nullptr;
}

void ZELToolTip::hideCurrentToolTip() {
    if (auto tip = current().lock()) {
        tip->removeFromSuperview();
        if (tip->ownerWatch_)
            tip->ownerWatch_->removeFromSuperview();
        tip->ownerWatch_.reset();
    }
    current().reset();
}

void ZELToolTip::resetShownThisRun() {
    shownThisRun().clear();
}

ZELToolTip::ZELToolTip(const CGRect& frame, const std::string& text)
    : UIView(frame), label_(std::make_shared<UILabel>()) {
    setBackgroundColor(UIColor::clearColor());
    label_->setText(text);
    label_->setNumberOfLines(0);
    label_->setTextAlignment(NSTextAlignmentCenter);
    label_->setTextColor(UIColor::whiteColor());
    label_->setFont(UIFont::systemFontOfSize(15));
}

void ZELToolTip::layoutSubviews() {
    const CGRect bounds = this->bounds();
    CGFloat top = kMargin, bottom = bounds.size.height - kMargin;
    for (const auto& subview : subviews()) {
        auto imageView = std::dynamic_pointer_cast<UIImageView>(subview);
        if (!imageView || !imageView->image())
            continue;
        const CGSize size = imageView->image()->size();
        const CGFloat x = (bounds.size.width - size.width) / 2;
        if (imageView->tag() == 1) {
            imageView->setFrame(CGRectMake(x, top, size.width, size.height));
            top += size.height + kMargin / 2;
        } else {
            bottom -= size.height;
            imageView->setFrame(CGRectMake(x, bottom, size.width, size.height));
            bottom -= kMargin / 2;
        }
    }
    label_->setFrame(CGRectMake(kMargin, top, bounds.size.width - 2 * kMargin, bottom - top));
}

void ZELToolTip::drawRect(const CGRect&) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    CGPath body;
    body.addRoundedRect(bounds(), 8, 8);
    context->addPath(body);
    context->setFillColorWithColor(UIColor::colorWithWhiteAlpha(0.1, 0.85).CGColor());
    context->fillPath();
}

std::shared_ptr<UIView> ZELToolTip::hitTest(CGPoint point, UIEvent* event) {
    // Only a real touch sends the tip away, not a look at what lies where.
    if (event && !isHidden() && !pointInside(point, event)) {
        dismiss();
        return nullptr;
    }
    return UIView::hitTest(point, event);
}

void ZELToolTip::touchesEnded(const UITouchSet&, UIEvent*) {
    dismiss();
}

void ZELToolTip::dismiss() {
    if (current().lock().get() == this)
        current().reset();
    // Gone from sight at once; out of the tree once the walk that asked
    // (a hit test, a move to another window) is over.
    setHidden(true);
    auto self = std::static_pointer_cast<ZELToolTip>(shared_from_this());
    DispatchQueue::main()->async([self] {
        self->removeFromSuperview();
        if (self->ownerWatch_)
            self->ownerWatch_->removeFromSuperview();
        self->ownerWatch_.reset();
    });
}
