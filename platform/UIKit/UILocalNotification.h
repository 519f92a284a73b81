#pragma once

#include <optional>
#include <string>

#include "Foundation/Value.h"

// A notification the application shows the user from itself (no server):
// its text, the label of the action that brings the application back, and
// what the application needs to know when the user chooses it.
class UILocalNotification {
  public:
    const std::optional<std::string>& alertBody() const { return alertBody_; }
    void setAlertBody(std::optional<std::string> body) { alertBody_ = std::move(body); }
    const std::optional<std::string>& alertAction() const { return alertAction_; }
    void setAlertAction(std::optional<std::string> action) { alertAction_ = std::move(action); }
    // Whether choosing the notification brings the application back.
    bool hasAction() const { return hasAction_; }
    void setHasAction(bool flag) { hasAction_ = flag; }
    const Value::Dictionary& userInfo() const { return userInfo_; }
    void setUserInfo(Value::Dictionary info) { userInfo_ = std::move(info); }

  private:
    std::optional<std::string> alertBody_;
    std::optional<std::string> alertAction_;
    bool hasAction_ = true;
    Value::Dictionary userInfo_;
};
