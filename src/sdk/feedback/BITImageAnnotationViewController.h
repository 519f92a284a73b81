#pragma once

#include <memory>
#include <vector>

#include "UIKit/UIViewController.h"

class BITImageAnnotation;
class BITImageAnnotationViewController;
class UIGestureRecognizer;
class UIImage;
class UIImageView;
class UIPanGestureRecognizer;
class UIPinchGestureRecognizer;
class UISegmentedControl;
class UITapGestureRecognizer;

class BITImageAnnotationDelegate {
  public:
    virtual ~BITImageAnnotationDelegate() = default;
    virtual void annotationControllerDidCancel(BITImageAnnotationViewController&) = 0;
    virtual void annotationControllerDidFinishWithImage(BITImageAnnotationViewController&,
                                                        const std::shared_ptr<UIImage>& image) = 0;
};

// The full-screen editor that marks up a picture: arrows, rectangles and
// blur boxes are drawn by dragging with the chosen tool, moved by dragging
// them, rectangles and blurs resized by a pinch; a tap hides the bars. Ok
// gives the picture with the marks at its own size.
class BITImageAnnotationViewController : public UIViewController {
  public:
    enum Interaction { InteractionNone = 0, InteractionDrawing = 1, InteractionMoving = 2 };

    BITImageAnnotationViewController();
    ~BITImageAnnotationViewController() override;

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    bool prefersStatusBarHidden() const override;

    void fitImageViewFrame();
    std::shared_ptr<BITImageAnnotation> annotationForCurrentMode() const;
    bool canDrawNewAnnotation() const;
    // The marks drawn over the picture, at the picture's size and scale.
    std::shared_ptr<UIImage> extractImage() const;
    void panned(UIPanGestureRecognizer& recognizer);
    void pinched(UIPinchGestureRecognizer& recognizer);
    void tapped(UITapGestureRecognizer& recognizer);
    std::shared_ptr<UIView> firstAnnotationThatIsNotBlur() const;
    void discard();
    void save();

    const std::shared_ptr<UIImage>& image() const { return image_; }
    void setImage(std::shared_ptr<UIImage> image) { image_ = std::move(image); }
    std::shared_ptr<BITImageAnnotationDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<BITImageAnnotationDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    const std::shared_ptr<UIImageView>& imageView() const { return imageView_; }
    const std::shared_ptr<UISegmentedControl>& editingControls() const { return editingControls_; }
    const std::vector<std::shared_ptr<BITImageAnnotation>>& objects() const { return objects_; }
    CGFloat scaleFactor() const { return scaleFactor_; }
    Interaction currentInteraction() const { return currentInteraction_; }
    const std::shared_ptr<UITapGestureRecognizer>& tapRecognizer() const { return tapRecognizer_; }
    const std::shared_ptr<UIPanGestureRecognizer>& panRecognizer() const { return panRecognizer_; }
    const std::shared_ptr<UIPinchGestureRecognizer>& pinchRecognizer() const {
        return pinchRecognizer_;
    }
    // The annotation being drawn, moved or resized.
    const std::shared_ptr<BITImageAnnotation>& currentAnnotation() const {
        return currentAnnotation_;
    }
    // Where the drawing drag started, in the image view.
    CGPoint panStart() const { return panStart_; }

  private:
    std::shared_ptr<BITImageAnnotationViewController> self();
    std::shared_ptr<BITImageAnnotation> annotationAt(CGPoint pointInView);
    void placeInImage(BITImageAnnotation& annotation, const CGRect& frameInImageView);
    void endInteraction();
    bool navigationBarVisible() const;

    std::shared_ptr<UIImage> image_;
    std::weak_ptr<BITImageAnnotationDelegate> delegate_;
    std::shared_ptr<UIImageView> imageView_;
    std::shared_ptr<UISegmentedControl> editingControls_;
    std::vector<std::shared_ptr<BITImageAnnotation>> objects_;
    std::shared_ptr<UITapGestureRecognizer> tapRecognizer_;
    std::shared_ptr<UIPanGestureRecognizer> panRecognizer_;
    std::shared_ptr<UIPinchGestureRecognizer> pinchRecognizer_;
    CGFloat scaleFactor_ = 1;
    std::shared_ptr<BITImageAnnotation> currentAnnotation_;
    Interaction currentInteraction_ = InteractionNone;
    CGPoint panStart_ = CGPointZero;
};
