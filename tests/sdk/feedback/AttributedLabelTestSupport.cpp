#include "AttributedLabelTestSupport.h"

#include "UIKit/UIGraphics.h"
#include "UIKit/UIImage.h"
#include "sdk/SdkTestSupport.h"

std::shared_ptr<BITAttributedLabel> linkLabel(const std::string& text, uint64_t types) {
    auto label = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 300, 80));
    label->setNumberOfLines(0);
    label->setEnabledTextCheckingTypes(types);
    label->setText(text);
    const auto detector = NSDataDetector::dataDetectorWithTypes(types);
    waitForLinks(*label, detector ? detector->numberOfMatchesInString(text) : 0);
    return label;
}

bool waitForLinks(const BITAttributedLabel& label, size_t count) {
    return runMainLoopUntil([&] { return label.linkModels().size() >= count; }, 30);
}

std::optional<CGPoint> pointOfCharacter(const BITAttributedLabel& label, long index) {
    for (CGFloat y = 0; y < label.bounds().size.height; y += 1) {
        for (CGFloat x = 0; x < label.bounds().size.width; x += 1) {
            if (label.characterIndexAtPoint(CGPointMake(x, y)) == index)
                return CGPointMake(x, y);
        }
    }
    return std::nullopt;
}

UITouchSet touchAt(CGPoint point) {
    auto touch = std::make_shared<UITouch>();
    touch->setWindowLocation(point);
    return {touch};
}

void tap(BITAttributedLabel& label, CGPoint point) {
    label.touchesBegan(touchAt(point), nullptr);
    label.touchesEnded(touchAt(point), nullptr);
}

CGImageRef drawLabels(const std::vector<std::shared_ptr<BITAttributedLabel>>& labels) {
    CGFloat width = 0, height = 0;
    for (const auto& label : labels) {
        width = std::max(width, label->frame().size.width);
        height += label->frame().size.height;
    }
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(width, height), true, 1);
    const auto context = UIGraphicsGetCurrentContext();
    context->setFillColorWithColor(CGColorCreateGenericGray(1, 1));
    context->fillRect(CGRectMake(0, 0, width, height));
    CGFloat y = 0;
    for (const auto& label : labels) {
        context->saveGState();
        context->translateCTM(0, y);
        label->drawTextInRect(label->bounds());
        context->restoreGState();
        y += label->frame().size.height;
    }
    const auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image->CGImage();
}
