#pragma once

#include <any>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class UIImage;
class UIViewController;

// What is shared: strings, NSURL, Value::Data, shared_ptr<UIImage> or any
// object an application's own activity understands.
using UIActivityItems = std::vector<std::any>;

inline constexpr const char* UIActivityTypeCopyToPasteboard = "UIActivityTypeCopyToPasteboard";
inline constexpr const char* UIActivityTypeMail = "UIActivityTypeMail";
inline constexpr const char* UIActivityTypeOpenInDefaultProgram =
    "UIActivityTypeOpenInDefaultProgram";

// One thing the share sheet can do with its items. Subclasses answer what
// they are and whether the items suit them; the sheet then prepares the
// chosen one and either shows its view controller or calls performActivity.
// Either way the activity ends with activityDidFinish.
class UIActivity : public std::enable_shared_from_this<UIActivity> {
  public:
    virtual ~UIActivity() = default;

    virtual std::string activityType() const = 0;
    virtual std::string activityTitle() const = 0;
    virtual std::shared_ptr<UIImage> activityImage() const { return nullptr; }
    virtual bool canPerformWithActivityItems(const UIActivityItems& items) const = 0;
    virtual void prepareWithActivityItems(const UIActivityItems&) {}
    // A screen of its own, presented by the sheet; nullptr: performActivity.
    virtual std::shared_ptr<UIViewController> activityViewController() { return nullptr; }
    virtual void performActivity() { activityDidFinish(false); }

    // Ends the activity: the sheet goes and its completion handler runs.
    void activityDidFinish(bool completed);

    // Set by the sheet while the activity runs.
    void setFinishHandler(std::function<void(bool)> handler) { finish_ = std::move(handler); }

  private:
    std::function<void(bool)> finish_;
};

// The built-in activities that need nothing beyond UIKit.
class UICopyToPasteboardActivity : public UIActivity {
  public:
    std::string activityType() const override { return UIActivityTypeCopyToPasteboard; }
    std::string activityTitle() const override { return "Copy"; }
    // Strings and URLs: they become text on the pasteboard, one per line.
    bool canPerformWithActivityItems(const UIActivityItems& items) const override;
    void prepareWithActivityItems(const UIActivityItems& items) override;
    void performActivity() override;

  private:
    std::string text_;
};

class UIOpenInDefaultProgramActivity : public UIActivity {
  public:
    std::string activityType() const override { return UIActivityTypeOpenInDefaultProgram; }
    std::string activityTitle() const override { return "Open in\xe2\x80\xa6"; }
    // The first URL that UIApplication can open (web, mail, file, geo).
    bool canPerformWithActivityItems(const UIActivityItems& items) const override;
    void prepareWithActivityItems(const UIActivityItems& items) override;
    void performActivity() override;

  private:
    std::string url_;
};
