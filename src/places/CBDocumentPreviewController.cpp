#include "places/CBDocumentPreviewController.h"

#include <fstream>
#include <iterator>

#include "UIKit/UIImage.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITabBarItem.h"
#include "UIKit/UITextView.h"
#include "foundation/NSString+CBNSStringAdditions.h"

CBDocumentPreviewController::CBDocumentPreviewController(CBMapDocumentInfo documentInfo)
    : documentInfo_(std::move(documentInfo)) {
    setTitle(documentInfo_.title);
    setTabBarItem(std::make_shared<UITabBarItem>(
        documentInfo_.title,
        documentInfo_.icon ? UIImage::imageNamed(*documentInfo_.icon) : nullptr, 0));
}

void CBDocumentPreviewController::loadView() {
    textView_ = std::make_shared<UITextView>(UIScreen::mainScreen()->bounds());
    textView_->setEditable(false);
    std::string text;
    if (documentInfo_.path) {
        std::ifstream in(*documentInfo_.path, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    textView_->setText(stringByJoiningWrappedLines(text));
    setView(textView_);
}
