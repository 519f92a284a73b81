#include "widgets/CBRatingTableCell.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "CoreGraphics/CGPath.h"
#include "UIKit/UIGraphics.h"
#include "UIKit/UILabel.h"

namespace {
constexpr CGFloat kStarSize = 16;
constexpr CGFloat kStarGap = 2;
constexpr CGFloat kRightMargin = 15;

CGPath starPath(CGRect box) {
    CGPath path;
    const CGPoint centre{CGRectGetMidX(box), CGRectGetMidY(box)};
    const CGFloat outer = box.size.width / 2, inner = outer * 0.45;
    for (int i = 0; i < 10; ++i) {
        const double angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
        const CGFloat radius = i % 2 ? inner : outer;
        const CGPoint p{centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)};
        if (i == 0)
            path.moveToPoint(p);
        else
            path.addLineToPoint(p);
    }
    path.closeSubpath();
    return path;
}
}  // namespace

class CBRatingTableCell::StarsView : public UIView {
  public:
    StarsView() : UIView(CGRectMake(0, 0, kStarCount * (kStarSize + kStarGap), kStarSize)) {
        setBackgroundColor(UIColor::clearColor());
    }
    float rating = 0;
    void drawRect(const CGRect&) override {
        CGContextRef context = UIGraphicsGetCurrentContext();
        const UIColor gold = UIColor::colorWithRedGreenBlueAlpha(1.0, 0.74, 0.0, 1);
        for (int i = 0; i < kStarCount; ++i) {
            const CGRect box = CGRectMake(i * (kStarSize + kStarGap), 0, kStarSize, kStarSize);
            const CGPath star = starPath(box);
            context->addPath(star);
            context->setFillColorWithColor(UIColor::colorWithWhiteAlpha(0.85, 1).CGColor());
            context->fillPath();
            // The part of this star the rating covers.
            const float covered = std::clamp(rating - float(i), 0.0f, 1.0f);
            if (covered <= 0)
                continue;
            context->saveGState();
            context->clipToRect(
                CGRectMake(box.origin.x, box.origin.y, box.size.width * covered, box.size.height));
            context->addPath(star);
            context->setFillColorWithColor(gold.CGColor());
            context->fillPath();
            context->restoreGState();
        }
    }
};

CBRatingTableCell::CBRatingTableCell(UITableViewCellStyle style, const std::string& reuseIdentifier)
    : UITableViewCell(style, reuseIdentifier), stars_(std::make_shared<StarsView>()) {}

void CBRatingTableCell::setRating(float rating) {
    rating_ = std::isfinite(rating) ? std::clamp(rating, 0.0f, float(kStarCount)) : 0.0f;
    stars_->rating = rating_;
    stars_->setNeedsDisplay();
}

void CBRatingTableCell::layoutSubviews() {
    UITableViewCell::layoutSubviews();
    if (!stars_->superview())
        contentView()->addSubview(stars_);
    const CGRect bounds = contentView()->bounds();
    const CGRect frame = stars_->frame();
    stars_->setFrame(CGRectMake(bounds.size.width - frame.size.width - kRightMargin,
                                (bounds.size.height - frame.size.height) / 2, frame.size.width,
                                frame.size.height));
}
