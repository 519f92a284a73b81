#pragma once

#include <optional>
#include <string>

#include "Net/NSURL.h"

// Something to preview: a file URL and the title to show.
class QLPreviewItem {
  public:
    virtual ~QLPreviewItem() = default;
    virtual std::optional<NSURL> previewItemURL() const = 0;
    // Empty: the file's name.
    virtual std::string previewItemTitle() const { return {}; }
};
