#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

// The general pasteboard: plain text shared with other programs through the
// desktop's clipboard once the host connects it, kept in memory otherwise
// (headless runs, tests). Main thread.
class UIPasteboard {
  public:
    // How the host reaches the desktop's clipboard.
    struct Backend {
        std::function<std::optional<std::string>()> read;
        std::function<void(const std::string&)> write;
    };

    static std::shared_ptr<UIPasteboard> generalPasteboard();

    std::optional<std::string> string() const;
    void setString(const std::string& text);
    // Whether there is text to paste (an empty string is none).
    bool hasStrings() const;
    // The number of times the contents changed.
    long changeCount() const { return changeCount_; }

    // Connects the desktop clipboard; an empty backend goes back to memory.
    void setBackend(Backend backend);

  private:
    Backend backend_;
    std::optional<std::string> memory_;
    long changeCount_ = 0;
};
