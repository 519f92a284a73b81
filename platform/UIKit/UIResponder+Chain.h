#pragma once

#include <memory>

#include "Foundation/NSLog.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UIControl.h"
#include "UIKit/UIResponder.h"

// Actions sent to a nil target: at the time of the tap they go up the
// responder chain from the sender (a control, or the view showing a bar
// item): the view, its controller, the superviews and their controllers,
// the window, the application. The first responder of the target's class
// receives the call; with none on the chain nothing happens (logged). An
// item can so be made before the container that handles it holds it.

// The first responder of class T from `from` up the chain, `from` included.
template <typename T>
std::shared_ptr<T> UIResponderFindInChain(std::shared_ptr<UIResponder> from) {
    for (; from; from = from->nextResponder()) {
        if (auto found = std::dynamic_pointer_cast<T>(from)) {
            return found;
        }
    }
    return nullptr;
}

template <typename Target>
UIBarButtonItem::Action UIBarButtonItemChainAction(void (Target::*method)(UIBarButtonItem&)) {
    return [method](UIBarButtonItem& sender) {
        if (auto target = UIResponderFindInChain<Target>(sender.view())) {
            ((*target).*method)(sender);
        } else {
            NSLogWithLevel(NSLogLevel::Warning,
                           "UIBarButtonItem: no responder on the chain takes the action");
        }
    };
}

template <typename Target>
UIControl::Action UIControlChainAction(void (Target::*method)(UIControl&)) {
    return [method](UIControl& sender) {
        if (auto target = UIResponderFindInChain<Target>(sender.shared_from_this())) {
            ((*target).*method)(sender);
        } else {
            NSLogWithLevel(NSLogLevel::Warning,
                           "UIControl: no responder on the chain takes the action");
        }
    };
}
