#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/UIGeometry.h"

class CBMapOrnamentationFrameManager;
class UIScrollView;
class UIView;

// Directions are bit sets: an edge is one bit, a corner the union of its edges.
enum CBMapOrnamentationDirection : unsigned {
    CBMapOrnamentationDirectionTop = 1,
    CBMapOrnamentationDirectionRight = 2,
    CBMapOrnamentationDirectionBottom = 4,
    CBMapOrnamentationDirectionLeft = 8,
};

class CBMapOrnamentationFrameManagerDelegate {
  public:
    virtual ~CBMapOrnamentationFrameManagerDelegate() = default;
    // nullopt (or an empty list): nothing to show there yet; asked again at the next layout.
    virtual std::optional<std::vector<std::shared_ptr<UIView>>>
    mapOrnamentationFrameManagerViewsForDirection(CBMapOrnamentationFrameManager&, unsigned) {
        return std::nullopt;
    }
};

// Places the ornaments beyond the map's edges and corners: asks the delegate
// once per direction, keeps each view centred on its edge or corner of the
// content, stretches edge views to the visible length of the edge and shows
// a direction only while its edges are within reach of the visible area.
class CBMapOrnamentationFrameManager {
  public:
    CBMapOrnamentationFrameManager(std::weak_ptr<UIScrollView> mapScrollView,
                                   std::weak_ptr<CBMapOrnamentationFrameManagerDelegate> delegate);

    void reloadData();
    void layoutOrnamentationFrame();
    void layoutOrnamentationFrameViewsForDirection(
        const std::vector<std::shared_ptr<UIView>>& views, unsigned direction);

    std::map<unsigned, std::vector<std::shared_ptr<UIView>>> viewsForDirections() const;
    UIEdgeInsets edgeInsets() const;
    void setEdgeInsets(const UIEdgeInsets& insets);
    std::shared_ptr<UIScrollView> mapScrollView() const { return mapScrollView_.lock(); }
    std::shared_ptr<CBMapOrnamentationFrameManagerDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<CBMapOrnamentationFrameManagerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

  private:
    mutable std::mutex mutex_;
    std::map<unsigned, std::vector<std::shared_ptr<UIView>>> viewsForDirections_;
    std::weak_ptr<UIScrollView> mapScrollView_;
    std::weak_ptr<CBMapOrnamentationFrameManagerDelegate> delegate_;
    UIEdgeInsets edgeInsets_{};
};

// The unit anchor point that hangs a view of the direction outside the map.
CGPoint CBMapOrnamentationAnchorPointForDirection(unsigned direction);
// The bit set of the edges within reach of the visible area, grown by the insets.
unsigned CBMapOrnamentationVisibleDirections(const std::shared_ptr<UIScrollView>& scrollView,
                                             CGFloat top, CGFloat left, CGFloat bottom,
                                             CGFloat right);
// The point in content coordinates on which the direction's views are centred.
CGPoint CBMapOrnamentationPositionForDirection(unsigned direction,
                                               const std::shared_ptr<UIScrollView>& scrollView);
