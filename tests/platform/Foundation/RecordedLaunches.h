#pragma once

#include <string>
#include <vector>

#include "Foundation/DesktopLauncher.h"

// While it lives, desktop programs are not started but recorded here.
class RecordedLaunches {
  public:
    RecordedLaunches() {
        DesktopLauncher::setLauncher([this](const std::vector<std::string>& argv) {
            argvs_.push_back(argv);
            return true;
        });
    }
    ~RecordedLaunches() { DesktopLauncher::setLauncher(nullptr); }
    RecordedLaunches(const RecordedLaunches&) = delete;
    RecordedLaunches& operator=(const RecordedLaunches&) = delete;

    const std::vector<std::vector<std::string>>& argvs() const { return argvs_; }
    size_t size() const { return argvs_.size(); }
    bool empty() const { return argvs_.empty(); }
    const std::vector<std::string>& operator[](size_t i) const { return argvs_[i]; }

  private:
    std::vector<std::vector<std::string>> argvs_;
};
