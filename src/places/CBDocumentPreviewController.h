#pragma once

#include <memory>

#include "UIKit/UIViewController.h"
#include "packages/CBMapDocumentInfo.h"

class UITextView;

// Shows one document of a map package (its licence, a guide) as a tab of
// the city guide: titled with the document's title, with a tab bar item of
// the title and the document's icon. The document is plain text.
class CBDocumentPreviewController : public UIViewController {
  public:
    explicit CBDocumentPreviewController(CBMapDocumentInfo documentInfo);

    const CBMapDocumentInfo& documentInfo() const { return documentInfo_; }
    // The text shown, once the view is loaded.
    std::shared_ptr<UITextView> textView() const { return textView_; }

    void loadView() override;

  private:
    CBMapDocumentInfo documentInfo_;
    std::shared_ptr<UITextView> textView_;
};
