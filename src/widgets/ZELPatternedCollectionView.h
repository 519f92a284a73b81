#pragma once

#include <memory>

#include "UIKit/UICollectionView.h"

class ZELPatternedCollectionViewBackground;

// A collection view whose striped background is as tall as the content and
// shifted by topPatternOffset, so the stripes scroll with the items.
class ZELPatternedCollectionView : public UICollectionView {
  public:
    static std::shared_ptr<ZELPatternedCollectionView> create(
        const CGRect& frame, std::shared_ptr<UICollectionViewLayout> layout);
    ZELPatternedCollectionView(const CGRect& frame, std::shared_ptr<UICollectionViewLayout> layout);

    CGFloat topPatternOffset() const { return topPatternOffset_; }
    void setTopPatternOffset(CGFloat offset);
    const std::shared_ptr<ZELPatternedCollectionViewBackground>& pattern() const {
        return pattern_;
    }
    void layoutSubviews() override;

  private:
    CGFloat topPatternOffset_ = 0;
    std::shared_ptr<ZELPatternedCollectionViewBackground> pattern_;
};
