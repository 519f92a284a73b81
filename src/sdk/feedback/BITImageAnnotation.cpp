#include "sdk/feedback/BITImageAnnotation.h"

BITImageAnnotation::BITImageAnnotation(const CGRect& frame) : UIView(frame) {
    setBackgroundColor(UIColor::clearColor());
}
