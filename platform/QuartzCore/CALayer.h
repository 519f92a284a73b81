#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <cairo.h>

#include "CoreGraphics/CGAffineTransform.h"
#include "CoreGraphics/CGColor.h"
#include "CoreGraphics/CGContext.h"
#include "CoreGraphics/CGGeometry.h"
#include "CoreGraphics/CGImage.h"
#include "CoreGraphics/CGPath.h"
#include "QuartzCore/CAAnimation.h"
#include "QuartzCore/CALayerDelegate.h"
#include "QuartzCore/CAValue.h"

// How contents fill the bounds.
enum class CAContentsGravity {
    Resize,
    ResizeAspect,
    ResizeAspectFill,
    Center,
    Top,
    Bottom,
    Left,
    Right,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
};

// A rectangle of content in a tree of layers. Coordinates are y-down, in
// points. The layer's transform is affine (the platform's 3-D transform
// reduced to the plane: the system only rotates, scales and moves layers
// in the plane). Main thread only, except where a subclass says otherwise.
//
// Model values are what the setters set; while animations run, the
// presentation values (presentationLayer()) are what is drawn. A change of
// an animatable property of a layer inside a layer tree animates implicitly,
// unless the delegate declines (views do, outside animation blocks) or the
// current transaction disables actions.
class CALayer : public std::enable_shared_from_this<CALayer> {
  public:
    CALayer();
    virtual ~CALayer();
    CALayer(const CALayer&) = delete;
    CALayer& operator=(const CALayer&) = delete;

    static std::shared_ptr<CALayer> layer() { return std::make_shared<CALayer>(); }

    // Geometry.
    CGRect bounds() const { return props_.bounds; }
    void setBounds(const CGRect& bounds);
    CGPoint position() const { return props_.position; }
    void setPosition(CGPoint position);
    CGPoint anchorPoint() const { return props_.anchorPoint; }
    void setAnchorPoint(CGPoint anchorPoint);
    CGAffineTransform transform() const { return props_.transform; }
    void setTransform(const CGAffineTransform& transform);
    CGAffineTransform affineTransform() const { return props_.transform; }
    void setAffineTransform(const CGAffineTransform& t) { setTransform(t); }
    // The bounding box of the transformed bounds in the superlayer.
    CGRect frame() const;
    void setFrame(const CGRect& frame);
    // Maps this layer's coordinates to the superlayer's.
    CGAffineTransform transformToSuperlayer() const;
    // A point in the superlayer's coordinates in this layer's.
    CGPoint convertPointFromSuperlayer(CGPoint point) const;

    // Appearance.
    float opacity() const { return props_.opacity; }
    void setOpacity(float opacity);
    bool isHidden() const { return props_.hidden; }
    void setHidden(bool hidden);
    const std::optional<CGColor>& backgroundColor() const { return props_.backgroundColor; }
    void setBackgroundColor(const std::optional<CGColor>& color);
    CGFloat cornerRadius() const { return props_.cornerRadius; }
    void setCornerRadius(CGFloat radius);
    CGFloat borderWidth() const { return props_.borderWidth; }
    void setBorderWidth(CGFloat width);
    CGColor borderColor() const { return props_.borderColor; }
    void setBorderColor(const CGColor& color);
    bool masksToBounds() const { return props_.masksToBounds; }
    void setMasksToBounds(bool flag);
    // A rasterised layer and its sublayers are composed into one bitmap in
    // the layer's own axes, which is then drawn through the layer's transform
    // as one picture: a turned layer is filtered once instead of each of its
    // parts. The bitmap is composed anew each frame, of only the part the
    // frame shows, so it is made at the pixels per point the frame shows the
    // layer at rather than at rasterizationScale. Where the layer lies on the
    // pixel axes the bitmap would be copied pixel for pixel, so the tree is
    // drawn directly.
    bool shouldRasterize() const { return shouldRasterize_; }
    void setShouldRasterize(bool flag);
    CGFloat rasterizationScale() const { return rasterizationScale_; }
    void setRasterizationScale(CGFloat scale) { rasterizationScale_ = scale; }
    bool isOpaque() const { return props_.opaque; }
    void setOpaque(bool flag) { props_.opaque = flag; }
    // Motion of this layer and its sublayers follows the world outside (a
    // position dot moving with each fix) and never ends while it changes: a
    // screen whose only motion is ambient counts as settled.
    bool isAmbient() const { return ambient_; }
    void setAmbient(bool flag) { ambient_ = flag; }

    CGColor shadowColor() const { return props_.shadowColor; }
    void setShadowColor(const CGColor& color);
    float shadowOpacity() const { return props_.shadowOpacity; }
    void setShadowOpacity(float opacity);
    CGSize shadowOffset() const { return props_.shadowOffset; }
    void setShadowOffset(CGSize offset);
    CGFloat shadowRadius() const { return props_.shadowRadius; }
    void setShadowRadius(CGFloat radius);
    // Without a path the shadow follows the rounded bounds of a layer with a
    // background colour; other layers cast none.
    const std::optional<CGPath>& shadowPath() const { return props_.shadowPath; }
    void setShadowPath(const std::optional<CGPath>& path);

    // Contents: an image, drawn into the bounds by the gravity. display()
    // replaces it with a backing store drawn by drawInContext.
    const CGImageRef& contents() const { return props_.contents; }
    void setContents(CGImageRef image);
    CAContentsGravity contentsGravity() const { return props_.gravity; }
    void setContentsGravity(CAContentsGravity gravity);
    // Pixels per point of the contents and the backing store.
    CGFloat contentsScale() const { return props_.contentsScale; }
    void setContentsScale(CGFloat scale);

    // Above 0: what lies behind the layer shows blurred through it (a
    // Gaussian of this deviation, in points), under the layer's own content;
    // translucent bars use it.
    CGFloat backdropBlurRadius() const { return props_.backdropBlurRadius; }
    void setBackdropBlurRadius(CGFloat radius);

    // A layer whose alpha masks this one (in this layer's coordinates).
    const std::shared_ptr<CALayer>& mask() const { return mask_; }
    void setMask(std::shared_ptr<CALayer> mask);

    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }

    // The delegate is held weakly.
    std::shared_ptr<CALayerDelegate> delegate() const;
    void setDelegate(std::weak_ptr<CALayerDelegate> delegate);

    // Tree.
    std::shared_ptr<CALayer> superlayer() const { return superlayer_.lock(); }
    const std::vector<std::shared_ptr<CALayer>>& sublayers() const { return sublayers_; }
    void addSublayer(const std::shared_ptr<CALayer>& layer);
    void insertSublayerAtIndex(const std::shared_ptr<CALayer>& layer, size_t index);
    void insertSublayerBelow(const std::shared_ptr<CALayer>& layer,
                             const std::shared_ptr<CALayer>& sibling);
    void insertSublayerAbove(const std::shared_ptr<CALayer>& layer,
                             const std::shared_ptr<CALayer>& sibling);
    void replaceSublayerWith(const std::shared_ptr<CALayer>& old,
                             const std::shared_ptr<CALayer>& replacement);
    void removeFromSuperlayer();
    bool isDescendantOf(const CALayer& ancestor) const;

    // Display.
    virtual void setNeedsDisplay();
    virtual void setNeedsDisplayInRect(const CGRect& rect);
    bool needsDisplay() const { return needsDisplay_; }
    bool needsDisplayOnBoundsChange() const { return needsDisplayOnBoundsChange_; }
    void setNeedsDisplayOnBoundsChange(bool flag) { needsDisplayOnBoundsChange_ = flag; }
    void displayIfNeeded();
    // Makes the backing store and draws it with drawInContext, when the
    // delegate wants drawing (or a subclass draws itself).
    virtual void display();
    // The context's user space is the layer's bounds, y down.
    virtual void drawInContext(CGContext& context);
    // Whether display() makes a backing store (the delegate decides by default).
    virtual bool drawsOwnContent();
    // This layer and its sublayers: display what is dirty.
    void displayTreeIfNeeded();

    // Layout.
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }
    void layoutIfNeeded();
    virtual void layoutSublayers();

    // Conversion between layers of one tree.
    CGPoint convertPointFromLayer(CGPoint point, const CALayer* layer) const;
    CGPoint convertPointToLayer(CGPoint point, const CALayer* layer) const;
    CGRect convertRectFromLayer(const CGRect& rect, const CALayer* layer) const;
    CGRect convertRectToLayer(const CGRect& rect, const CALayer* layer) const;
    // Maps this layer's coordinates to the root layer's.
    CGAffineTransform transformToRoot() const;
    // Where the layer's tree shows now, in the root layer's coordinates: its
    // presentation and its ancestors' (a frame redraws this much when only
    // this layer changed); null when it or an ancestor is hidden.
    CGRect shownExtentInRoot();
    // point in the superlayer's coordinates.
    std::shared_ptr<CALayer> hitTest(CGPoint point);
    bool containsPoint(CGPoint point) const;  // point in own coordinates

    // Renders the layer and its sublayers in the context, in the layer's
    // coordinates. Tiled layers draw their missing tiles at once.
    void renderInContext(CGContext& context);
    // The same for the window's frames: tiled layers show the tiles that are
    // ready and ask their workers for the rest.
    void compositeInContext(CGContext& context);

    // Animations.
    void addAnimation(const std::shared_ptr<CAAnimation>& animation, const std::string& key);
    std::shared_ptr<CAAnimation> animationForKey(const std::string& key) const;
    void removeAnimationForKey(const std::string& key);
    void removeAllAnimations();
    std::vector<std::string> animationKeys() const;
    bool hasAnimations() const { return !animations_.empty(); }
    // Ends the animations that are over (frame clock).
    void updateAnimations(double time);
    // A copy of the layer's properties (no sublayers) with the animations
    // applied at the current time; the layer itself when none run.
    std::shared_ptr<CALayer> presentationLayer();
    // The model value of an animatable key path, or nullopt for an unknown one.
    virtual std::optional<CAValue> valueForKeyPath(const std::string& keyPath) const;
    // Sets a model value by key path without implicit animation; false for
    // an unknown key path or a value of the wrong kind.
    virtual bool setValueForKeyPath(const std::string& keyPath, const CAValue& value);
    // The value shown now.
    std::optional<CAValue> presentationValueForKeyPath(const std::string& keyPath) const;
    // The action for a change of key: the delegate's, or an implicit basic
    // animation for layers in a tree.
    std::shared_ptr<CAAnimation> actionForKey(const std::string& key);

  protected:
    struct Properties {
        CGRect bounds{};
        CGPoint position{};
        CGPoint anchorPoint{0.5, 0.5};
        CGAffineTransform transform{};
        float opacity = 1;
        bool hidden = false;
        std::optional<CGColor> backgroundColor;
        CGFloat cornerRadius = 0;
        CGFloat borderWidth = 0;
        CGColor borderColor{0, 0, 0, 1, nullptr};
        bool masksToBounds = false;
        bool opaque = false;
        CGColor shadowColor{0, 0, 0, 1, nullptr};
        float shadowOpacity = 0;
        CGSize shadowOffset{0, -3};
        CGFloat shadowRadius = 3;
        std::optional<CGPath> shadowPath;
        CGFloat backdropBlurRadius = 0;
        CGImageRef contents;
        CAContentsGravity gravity = CAContentsGravity::Resize;
        CGFloat contentsScale = 1;
        std::shared_ptr<cairo_surface_t> backing;  // made by display()
    };

    // A new layer of the same class with the same properties, no tree.
    virtual std::shared_ptr<CALayer> clone() const;
    void copyPropertiesTo(CALayer& other) const;

    // Records a change: a frame is due, and the change may animate from old.
    void didChangeValueForKey(const std::string& key, const std::optional<CAValue>& old);
    void markChanged();
    // Draws what the layer itself shows (background, contents), in its own
    // coordinates. snapshot: see renderInContext.
    virtual void drawOwnContent(CGContext& context, bool snapshot);
    // The outline of the bounds with the corner radius.
    CGPath boundsPath() const;
    // Where drawOwnContent may leave pixels that cast a shadow; nullopt when
    // it draws nothing.
    virtual std::optional<CGRect> shadowCasterExtent() const;

    Properties props_;

  private:
    void renderTree(CGContext& context, bool snapshot);
    void renderAsSublayer(CGContext& context, bool snapshot);
    // renderTree through a bitmap in the layer's axes; false (nothing drawn)
    // when the bitmap of the part the frame shows would be too large.
    bool rasterizeTree(CGContext& context, bool snapshot);
    // Where the tree may leave pixels, in the layer's coordinates, when drawn
    // at `scale` pixels per point: what the layers draw and their shadows.
    CGRect treeExtent(CGFloat scale);
    // Where drawContents puts the contents image.
    CGRect contentsDestination() const;
    // What the shadow is cast from: the shadow path's box, or where the
    // layer's own content lies.
    std::optional<CGRect> shadowSourceBox() const;
    // How far, in device pixels, the blur of a shadow of this radius (in
    // pixels) reaches beyond its source.
    static long shadowBlurMarginPixels(size_t radius) { return long(3 * radius) + 2; }
    void drawShadow(CGContext& context);
    void drawBlurredBackdrop(CGContext& context);
    void drawBorder(CGContext& context);
    void drawContents(CGContext& context);

    std::weak_ptr<CALayer> superlayer_;
    std::vector<std::shared_ptr<CALayer>> sublayers_;
    std::shared_ptr<CALayer> mask_;
    std::string name_;
    mutable std::mutex delegateMutex_;
    std::weak_ptr<CALayerDelegate> delegate_;
    bool needsDisplay_ = false;
    bool needsLayout_ = false;
    bool needsDisplayOnBoundsChange_ = false;
    bool shouldRasterize_ = false;
    bool ambient_ = false;
    CGFloat rasterizationScale_ = 1;
    // The bitmap of the last rasterised frame, reused while its size holds.
    std::shared_ptr<cairo_surface_t> raster_;
    // A copy made to draw a frame with the animated values: what it is set
    // to is not a change of the screen.
    bool presentationCopy_ = false;
    std::vector<std::pair<std::string, std::shared_ptr<CAAnimation>>> animations_;
};

using CALayerRef = std::shared_ptr<CALayer>;
