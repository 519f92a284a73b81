#pragma once

#include <optional>
#include <string>
#include <utility>

// What the host adds to a report when it answers the consent question
// itself. All absent at creation; each value is stored as a copy.
class BITCrashMetaData {
  public:
    using Text = std::optional<std::string>;

    const Text& userProvidedDescription() const { return userProvidedDescription_; }
    void setUserProvidedDescription(Text text) { userProvidedDescription_ = std::move(text); }
    const Text& userName() const { return userName_; }
    void setUserName(Text text) { userName_ = std::move(text); }
    const Text& userEmail() const { return userEmail_; }
    void setUserEmail(Text text) { userEmail_ = std::move(text); }
    const Text& userID() const { return userID_; }
    void setUserID(Text text) { userID_ = std::move(text); }

  private:
    Text userProvidedDescription_;
    Text userName_;
    Text userEmail_;
    Text userID_;
};
