#pragma once

#include <memory>
#include <optional>
#include <string>

#include "widgets/CBCellWithCopyableLabel.h"

// A copyable table cell for texts of varying length (addresses, tag
// values): the text takes the largest font from 18 down to 14 points at
// which it fits a row of at most 60 points, and the row grows to the text's
// height. In the subtitle style the small detail line sits at the bottom of
// the cell and the text at its top.
class CBCellWithMultilineLabel : public CBCellWithCopyableLabel {
  public:
    static std::shared_ptr<CBCellWithMultilineLabel> create(UITableViewCellStyle style,
                                                            const std::string& reuseIdentifier);
    CBCellWithMultilineLabel(UITableViewCellStyle style, const std::string& reuseIdentifier)
        : CBCellWithCopyableLabel(style, reuseIdentifier) {}

    // The row height for the text in the bold font; 44 for no text.
    static CGFloat requireHeightForText(const std::optional<std::string>& text) {
        return requireHeightForTextWithBoldText(text, true);
    }
    static CGFloat requireHeightForTextWithBoldText(const std::optional<std::string>& text,
                                                    bool bold);
    // The text label's font: the size the height rule chooses for the text.
    void setFontToFitText(const std::optional<std::string>& text);

    bool bold() const { return bold_; }
    void setBold(bool bold) { bold_ = bold; }

    void layoutSubviews() override;

  private:
    bool bold_ = true;
};
