#include "widgets/ZELRotatingNavigationController.h"

bool ZELRotatingNavigationController::shouldAutorotate() const {
    auto top = const_cast<ZELRotatingNavigationController*>(this)->topViewController();
    return top ? top->shouldAutorotate() : UINavigationController::shouldAutorotate();
}

unsigned long ZELRotatingNavigationController::supportedInterfaceOrientations() const {
    auto top = const_cast<ZELRotatingNavigationController*>(this)->topViewController();
    return top ? top->supportedInterfaceOrientations()
               : UINavigationController::supportedInterfaceOrientations();
}
