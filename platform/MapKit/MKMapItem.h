#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Foundation/Value.h"
#include "MapKit/MKPlacemark.h"
#include "Net/NSURL.h"

// A place that can be handed to the desktop's map program. A value.
//
// Opening builds a "geo:" URI (RFC 5870) with the name as its query and
// passes it to the launcher: by default the application's openURL, which
// starts xdg-open; tests put their own launcher in.
class MKMapItem {
  public:
    using Launcher = std::function<bool(const std::string& uri)>;

    explicit MKMapItem(MKPlacemark placemark) : placemark_(std::move(placemark)) {}

    const MKPlacemark& placemark() const { return placemark_; }
    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> name) { name_ = std::move(name); }
    // How to reach the place, where the source knows it.
    const std::optional<std::string>& phoneNumber() const { return phoneNumber_; }
    void setPhoneNumber(std::optional<std::string> number) { phoneNumber_ = std::move(number); }
    const std::optional<NSURL>& url() const { return url_; }
    void setUrl(std::optional<NSURL> url) { url_ = std::move(url); }

    // "geo:<lat>,<lon>?q=<lat>,<lon>(<name>)", the name percent-encoded.
    std::string geoURI() const;
    // The options are accepted for the phone's callers; the desktop's map
    // program takes none. False when the launcher could not open it.
    bool openInMapsWithLaunchOptions(const Value::Dictionary& options = {}) const;

    // nullptr restores the default launcher.
    static void setLauncher(Launcher launcher);

  private:
    MKPlacemark placemark_;
    std::optional<std::string> name_;
    std::optional<std::string> phoneNumber_;
    std::optional<NSURL> url_;
};
