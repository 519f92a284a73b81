#pragma once

#include <memory>

#include "location/CBLocationManagerDelegate.h"

// A delegate as the location service's set of delegates holds it: weakly, so
// that registering keeps no screen alive. A wrapper whose delegate has gone
// stays in the set, sending nothing, until the set is cleaned up.
class CBLocationManagerDelegateWrapper : public std::weak_ptr<CBLocationManagerDelegate> {
  public:
    using std::weak_ptr<CBLocationManagerDelegate>::weak_ptr;

    // nullptr once the delegate has gone.
    std::shared_ptr<CBLocationManagerDelegate> delegate() const { return lock(); }
};
