#pragma once

#include <memory>
#include <string>

#include "UIKit/UICollectionViewLayout.h"
#include "UIKit/UIView.h"

// A view a collection view places from its layout and reuses: cells and
// section headers and footers. The collection view sets the identifier it
// was dequeued with and calls prepareForReuse before handing it out again.
class UICollectionReusableView : public UIView {
  public:
    explicit UICollectionReusableView(const CGRect& frame = CGRectZero) : UIView(frame) {}

    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    void setReuseIdentifier(const std::string& identifier) { reuseIdentifier_ = identifier; }
    virtual void prepareForReuse() {}
    virtual void applyLayoutAttributes(const UICollectionViewLayoutAttributes& attributes);

  private:
    std::string reuseIdentifier_;
};

// One item of a collection view: subclasses put their views in the content
// view. The selected background (when set) shows while the cell is
// highlighted or selected, between the background and the content.
class UICollectionViewCell : public UICollectionReusableView {
  public:
    explicit UICollectionViewCell(const CGRect& frame = CGRectZero);

    const std::shared_ptr<UIView>& contentView() const { return contentView_; }
    const std::shared_ptr<UIView>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(const std::shared_ptr<UIView>& view);
    const std::shared_ptr<UIView>& selectedBackgroundView() const { return selectedBackground_; }
    void setSelectedBackgroundView(const std::shared_ptr<UIView>& view);

    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);

    // Clears selection and highlight.
    void prepareForReuse() override;
    void layoutSubviews() override;

  private:
    void attachSubviews();
    void updateSelectedBackground();
    void placeSlot(std::shared_ptr<UIView>& slot, const std::shared_ptr<UIView>& view,
                   size_t index);

    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UIView> backgroundView_;
    std::shared_ptr<UIView> selectedBackground_;
    bool selected_ = false;
    bool highlighted_ = false;
};
