#include "wikipedia/CBWikipediaHost.h"

#include "UIKit/UIApplication.h"

std::shared_ptr<CBWikipediaHost> CBWikipediaHost::shared() {
    auto application = UIApplication::sharedApplication();
    return application ? std::dynamic_pointer_cast<CBWikipediaHost>(application->delegate())
                       : nullptr;
}
