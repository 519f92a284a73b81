#pragma once

#include <functional>
#include <mutex>
#include <string>

// A folder that a program option or a test may set, else a default worked
// out when asked. Any thread may use it.
class NSFolderSetting {
  public:
    std::string value(const std::function<std::string()>& fallback) const {
        {
            std::lock_guard lock(mutex_);
            if (!folder_.empty())
                return folder_;
        }
        return fallback();
    }
    // Empty: back to the default.
    void set(std::string folder) {
        std::lock_guard lock(mutex_);
        folder_ = std::move(folder);
    }

  private:
    mutable std::mutex mutex_;
    std::string folder_;
};
