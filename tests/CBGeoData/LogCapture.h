#pragma once

#include <string>
#include <vector>

#include "Foundation/NSLog.h"

// Collects the lines logged while it lives.
class LogCapture {
  public:
    LogCapture() {
        previous_ =
            NSLogSetSink([this](NSLogLevel, const std::string& line) { lines_.push_back(line); });
    }
    ~LogCapture() { NSLogSetSink(previous_); }

    const std::vector<std::string>& lines() const { return lines_; }
    bool contains(const std::string& text) const {
        for (const auto& line : lines_) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

  private:
    NSLogSink previous_;
    std::vector<std::string> lines_;
};
