#pragma once

#include "UIKit/UIView.h"

// The compass calibration panel that the phone's system lays over whatever
// application asked for it: a dark box in the middle of the key window
// asking the user to turn the compass in a figure eight. It goes when the
// compass reads soundly again, when the application dismisses it, or when it
// is tapped.
class HostHeadingCalibrationPanel : public UIView {
  public:
    static constexpr CGSize kSize{260, 132};
    static std::shared_ptr<HostHeadingCalibrationPanel> create(const CGRect& frame);
    explicit HostHeadingCalibrationPanel(const CGRect& frame);

  private:
    // The texts and the tap that dismisses it.
    void setUp();
};

// Lets Core Location show the panel over the key window.
void HostInstallHeadingCalibrationPanel();
