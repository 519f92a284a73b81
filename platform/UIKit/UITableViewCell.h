#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIView.h"

class UITableView;

enum UITableViewCellStyle : long {
    UITableViewCellStyleDefault,   // text label only, image on the left
    UITableViewCellStyleValue1,    // text left, grey detail right-aligned
    UITableViewCellStyleValue2,    // small blue text right-aligned, detail after it
    UITableViewCellStyleSubtitle,  // text above a smaller detail line
};

enum UITableViewCellSelectionStyle : long {
    UITableViewCellSelectionStyleNone,
    UITableViewCellSelectionStyleBlue,
    UITableViewCellSelectionStyleGray,
    UITableViewCellSelectionStyleDefault,
};

enum UITableViewCellAccessoryType : long {
    UITableViewCellAccessoryNone = 0,
    UITableViewCellAccessoryDisclosureIndicator = 1,
    // A round "i" button with a chevron: a tap on it tells the table's
    // delegate (tableViewAccessoryButtonTappedForRowWithIndexPath) instead
    // of selecting the row.
    UITableViewCellAccessoryDetailDisclosureButton = 2,
    UITableViewCellAccessoryCheckmark = 3,
};

enum UITableViewCellEditingStyle : long {
    UITableViewCellEditingStyleNone,
    UITableViewCellEditingStyleDelete,
    UITableViewCellEditingStyleInsert,
};

// One row of a table: a content view holding the labels and the image,
// an accessory at the right (drawn chevron, detail button or checkmark, or
// any view), a
// background and, while highlighted or selected, a selected background.
// Cells with a reuse identifier go back to their table's reuse pool when
// they scroll out of sight; prepareForReuse runs when one is handed out again.
//
// The subviews exist from construction, so a subclass constructor may style
// the labels and add views to the content view; the content view itself is
// put into the cell once the cell is owned by a shared_ptr.
class UITableViewCell : public UIView {
  public:
    // initWithStyle:reuseIdentifier:
    explicit UITableViewCell(UITableViewCellStyle style = UITableViewCellStyleDefault,
                             const std::string& reuseIdentifier = "");
    ~UITableViewCell() override;

    UITableViewCellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }

    const std::shared_ptr<UIView>& contentView() const { return contentView_; }
    const std::shared_ptr<UILabel>& textLabel() const { return textLabel_; }
    // nullptr in the default style.
    const std::shared_ptr<UILabel>& detailTextLabel() const { return detailTextLabel_; }
    const std::shared_ptr<UIImageView>& imageView() const { return imageView_; }

    UITableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(UITableViewCellAccessoryType type);
    // Shown instead of the accessory type when set.
    const std::shared_ptr<UIView>& accessoryView() const { return accessoryView_; }
    void setAccessoryView(const std::shared_ptr<UIView>& view);

    UITableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(UITableViewCellSelectionStyle style);
    const std::shared_ptr<UIView>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(const std::shared_ptr<UIView>& view);
    // nullptr: a plain view in the selection style's colour.
    const std::shared_ptr<UIView>& selectedBackgroundView() const { return selectedBackground_; }
    void setSelectedBackgroundView(const std::shared_ptr<UIView>& view);

    bool isSelected() const { return selected_; }
    void setSelected(bool selected) { setSelectedAnimated(selected, false); }
    virtual void setSelectedAnimated(bool selected, bool animated);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted) { setHighlightedAnimated(highlighted, false); }
    virtual void setHighlightedAnimated(bool highlighted, bool animated);
    bool isEditing() const { return editing_; }
    void setEditing(bool editing) { setEditingAnimated(editing, false); }
    virtual void setEditingAnimated(bool editing, bool animated);

    // Whether the row's delete button waits for a tap.
    bool showingDeleteConfirmation() const { return deleteButton_ != nullptr; }
    // Where the editing control and the delete button are, in the cell's
    // coordinates; CGRectNull when not shown.
    CGRect editingControlFrame() const;
    CGRect deleteConfirmationFrame() const;

    // Resets highlight and selection; subclasses reset their own state too.
    virtual void prepareForReuse();

    void layoutSubviews() override;

    // The colours the selection styles paint.
    static UIColor selectionColorForStyle(UITableViewCellSelectionStyle style);

  private:
    friend class UITableView;

    // Puts the views into the cell once it is owned.
    void attachSubviews();
    void updateSelectionDisplay();
    std::shared_ptr<UIView> currentAccessory() const;
    // The detail button was tapped: the table the cell is in tells its delegate.
    void accessoryButtonTapped();
    // Set by the table: the separator line at the bottom (nullopt: none),
    // the editing control on the left (none: no control) and the delete
    // confirmation button on the right.
    void setSeparator(const std::optional<UIColor>& color, CGFloat leftInset);
    void setEditingControl(UITableViewCellEditingStyle style);
    void setShowsDeleteConfirmation(bool shows);

    UITableViewCellStyle style_;
    std::string reuseIdentifier_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UILabel> textLabel_;
    std::shared_ptr<UILabel> detailTextLabel_;
    std::shared_ptr<UIImageView> imageView_;
    std::shared_ptr<UIView> accessoryView_;
    // The view the accessory type draws, and the type it was made for.
    std::shared_ptr<UIView> indicator_;
    UITableViewCellAccessoryType indicatorType_ = UITableViewCellAccessoryNone;
    std::shared_ptr<UIView> backgroundView_;
    std::shared_ptr<UIView> selectedBackground_;
    std::shared_ptr<UIView> defaultSelectedBackground_;
    std::shared_ptr<UIView> separator_;
    std::shared_ptr<UIView> editingControl_;
    std::shared_ptr<UILabel> deleteButton_;
    UITableViewCellAccessoryType accessoryType_ = UITableViewCellAccessoryNone;
    UITableViewCellSelectionStyle selectionStyle_ = UITableViewCellSelectionStyleBlue;
    CGFloat separatorInset_ = 0;
    bool selected_ = false;
    bool highlighted_ = false;
    bool editing_ = false;
    bool attached_ = false;
};

using UITableViewCellRef = std::shared_ptr<UITableViewCell>;
