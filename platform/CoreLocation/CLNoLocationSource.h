#pragma once

#include <memory>

#include "CoreLocation/CLLocationSource.h"
#include "Dispatch/NSTimer.h"

// No receiver: like a phone that cannot get a fix, it reports
// kCLErrorLocationUnknown one second after starting and then stays silent.
class CLNoLocationSource : public CLLocationSource {
  public:
    ~CLNoLocationSource() override;
    void startUpdating() override;
    void stopUpdating() override;
    std::string description() const override { return "no location source"; }

  private:
    std::shared_ptr<NSTimer> timer_;
};
