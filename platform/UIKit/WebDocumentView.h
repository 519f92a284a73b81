#pragma once

#include <memory>
#include <mutex>

#include "UIKit/UIView.h"

class WebDocument;

// The page inside a web view's scroll view, as large as the laid-out page.
// It draws in tiles on worker threads, so a long article costs only what
// is on screen and scrolling reuses the tiles already drawn.
class WebDocumentView : public UIView {
  public:
    explicit WebDocumentView(const CGRect& frame = CGRectZero);

    std::shared_ptr<WebDocument> document() const;
    // Shows the document (nullptr: nothing) and draws it anew.
    void setDocument(std::shared_ptr<WebDocument> document);

    void drawRect(const CGRect& rect) override;
    // The page's lines and links, for scenario scripts and accessibility.
    std::vector<UIVisibleText> visibleTexts() const override;

  private:
    mutable std::mutex mutex_;
    std::shared_ptr<WebDocument> document_;
};
