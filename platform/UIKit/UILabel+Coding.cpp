#include "UIKit/UILabel+Coding.h"

#include "UIKit/UIFont.h"
#include "UIKit/UILabel.h"

namespace {

Value sizeValue(CGSize size) {
    return Value(Value::Array{Value(size.width), Value(size.height)});
}

}  // namespace

std::optional<Value> UIColorArchiveValue(const UIColor& color) {
    CGFloat red = 0, green = 0, blue = 0, alpha = 0;
    if (color.pattern() || !color.getRedGreenBlueAlpha(&red, &green, &blue, &alpha))
        return std::nullopt;
    return Value(Value::Array{Value(red), Value(green), Value(blue), Value(alpha)});
}

std::optional<UIColor> UIColorFromArchiveValue(const NSKeyedUnarchiver& coder,
                                               const std::string& key) {
    const auto rgba = coder.decodeNumbersForKey(key, 4);
    if (!rgba)
        return std::nullopt;
    return UIColor::colorWithRedGreenBlueAlpha((*rgba)[0], (*rgba)[1], (*rgba)[2], (*rgba)[3]);
}

void UILabelEncodeWithCoder(const UILabel& label, NSKeyedArchiver& coder) {
    const CGRect frame = label.frame();
    coder.encodeValueForKey(Value(Value::Array{Value(frame.origin.x), Value(frame.origin.y),
                                               Value(frame.size.width), Value(frame.size.height)}),
                            "frame");
    coder.encodeValueForKey(Value(label.tag()), "tag");
    coder.encodeValueForKey(Value(label.isHidden()), "hidden");
    coder.encodeValueForKey(Value(double(label.alpha())), "alpha");
    if (label.backgroundColor())
        if (auto color = UIColorArchiveValue(*label.backgroundColor()))
            coder.encodeValueForKey(*color, "backgroundColor");
    coder.encodeValueForKey(Value(label.text()), "text");
    if (label.font()) {
        coder.encodeValueForKey(Value(label.font()->fontName()), "fontName");
        coder.encodeValueForKey(Value(double(label.font()->pointSize())), "fontSize");
    }
    if (auto color = UIColorArchiveValue(label.textColor()))
        coder.encodeValueForKey(*color, "textColor");
    coder.encodeValueForKey(Value(long(label.textAlignment())), "textAlignment");
    coder.encodeValueForKey(Value(long(label.lineBreakMode())), "lineBreakMode");
    coder.encodeValueForKey(Value(label.numberOfLines()), "numberOfLines");
    coder.encodeValueForKey(Value(label.isEnabled()), "enabled");
    if (label.shadowColor())
        if (auto color = UIColorArchiveValue(*label.shadowColor()))
            coder.encodeValueForKey(*color, "shadowColor");
    coder.encodeValueForKey(sizeValue(label.shadowOffset()), "shadowOffset");
}

void UILabelDecodeWithCoder(UILabel& label, const NSKeyedUnarchiver& coder) {
    if (auto frame = coder.decodeNumbersForKey("frame", 4))
        label.setFrame(CGRectMake((*frame)[0], (*frame)[1], (*frame)[2], (*frame)[3]));
    if (auto tag = coder.decodeInt64ForKey("tag"))
        label.setTag(long(*tag));
    if (auto hidden = coder.decodeBoolForKey("hidden"))
        label.setHidden(*hidden);
    if (auto alpha = coder.decodeDoubleForKey("alpha"))
        label.setAlpha(*alpha);
    if (auto color = UIColorFromArchiveValue(coder, "backgroundColor"))
        label.setBackgroundColor(*color);
    const auto name = coder.decodeStringForKey("fontName");
    const auto size = coder.decodeDoubleForKey("fontSize");
    if (name && size)
        label.setFont(UIFont::fontWithNameSize(*name, *size));
    if (auto color = UIColorFromArchiveValue(coder, "textColor"))
        label.setTextColor(*color);
    if (auto alignment = coder.decodeInt64ForKey("textAlignment")) {
        if (*alignment >= NSTextAlignmentLeft && *alignment <= NSTextAlignmentNatural)
            label.setTextAlignment(NSTextAlignment(*alignment));
        else
            coder.failWithReason("unknown text alignment " + std::to_string(*alignment));
    }
    if (auto mode = coder.decodeInt64ForKey("lineBreakMode")) {
        if (*mode >= NSLineBreakByWordWrapping && *mode <= NSLineBreakByTruncatingMiddle)
            label.setLineBreakMode(NSLineBreakMode(*mode));
        else
            coder.failWithReason("unknown line break mode " + std::to_string(*mode));
    }
    if (auto lines = coder.decodeInt64ForKey("numberOfLines")) {
        if (*lines >= 0)
            label.setNumberOfLines(size_t(*lines));
        else
            coder.failWithReason("a negative number of lines");
    }
    if (auto enabled = coder.decodeBoolForKey("enabled"))
        label.setEnabled(*enabled);
    if (auto color = UIColorFromArchiveValue(coder, "shadowColor"))
        label.setShadowColor(*color);
    if (auto offset = coder.decodeNumbersForKey("shadowOffset", 2))
        label.setShadowOffset(CGSizeMake((*offset)[0], (*offset)[1]));
    if (auto text = coder.decodeStringForKey("text"))
        label.setText(*text);
}
