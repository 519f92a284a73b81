#pragma once

#include <memory>
#include <string>

enum UIUserInterfaceIdiom : long {
    UIUserInterfaceIdiomUnspecified = -1,
    UIUserInterfaceIdiomPhone = 0,
    UIUserInterfaceIdiomPad = 1,
};

// The device the application runs on: a phone or a tablet, chosen by the
// host at start-up.
class UIDevice {
  public:
    static std::shared_ptr<UIDevice> currentDevice();

    UIUserInterfaceIdiom userInterfaceIdiom() const { return idiom_; }
    void setUserInterfaceIdiom(UIUserInterfaceIdiom idiom) { idiom_ = idiom; }
    const std::string& systemName() const { return systemName_; }
    const std::string& systemVersion() const { return systemVersion_; }
    // "iPhone" or "iPad", from the idiom.
    std::string model() const;
    // The computer's host name.
    const std::string& name() const { return name_; }
    bool isMultitaskingSupported() const { return true; }

    UIDevice();

  private:
    UIUserInterfaceIdiom idiom_ = UIUserInterfaceIdiomPhone;
    std::string systemName_ = "iOS";
    std::string systemVersion_ = "9.3";
    std::string name_;
};

// The idiom of the current device.
inline UIUserInterfaceIdiom UI_USER_INTERFACE_IDIOM() {
    return UIDevice::currentDevice()->userInterfaceIdiom();
}
