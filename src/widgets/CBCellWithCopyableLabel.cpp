#include "widgets/CBCellWithCopyableLabel.h"

#include "UIKit/UILabel.h"
#include "UIKit/UIPasteboard.h"
#include "widgets/CBCopyableLabel.h"

std::shared_ptr<CBCellWithCopyableLabel> CBCellWithCopyableLabel::create(
    UITableViewCellStyle style, const std::string& reuseIdentifier) {
    auto cell = std::make_shared<CBCellWithCopyableLabel>(style, reuseIdentifier);
    CBAddCopyLongPress(cell);
    return cell;
}

std::string CBCellWithCopyableLabel::copyText() const {
    std::string text = textLabel() ? textLabel()->text() : "";
    if (detailTextLabel() && !detailTextLabel()->text().empty())
        text += (text.empty() ? "" : "\n") + detailTextLabel()->text();
    return text;
}

bool CBCellWithCopyableLabel::canPerformAction(UIEditAction action, UIResponder*) const {
    return action == UIEditActionCopy && !copyText().empty();
}

void CBCellWithCopyableLabel::performEditAction(UIEditAction action, UIResponder* sender) {
    if (action == UIEditActionCopy)
        UIPasteboard::generalPasteboard()->setString(copyText());
    else
        UITableViewCell::performEditAction(action, sender);
}
