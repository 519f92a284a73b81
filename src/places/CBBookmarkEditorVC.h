#pragma once

#include <memory>

#include "UIKit/UITextField.h"
#include "UIKit/UIViewController.h"

class CBBasicAnnotation;
class CBGeoObject;
class NSNotificationObserver;
class UIAlertView;
class UITextView;

// Edits the title or the note of a bookmark (a geo object of the bookmark
// store), or of a dropped pin about to become one. Done writes back the one
// field edited, Cancel nothing. A bookmark that cannot be saved keeps the
// editor open with its text, and says so. Quitting the application while the
// editor shows saves what was typed, as Done would.
class CBBookmarkEditorVC : public UIViewController, public UITextFieldDelegate {
  public:
    static constexpr const char* kNibName = "CBBookmarkEditorVC";
    // A title is kept to this many UTF-16 units, an ellipsis included.
    static constexpr size_t kTitleLimit = 100;

    // YES edits the note, NO the title.
    static std::shared_ptr<CBBookmarkEditorVC> initEditDescription(bool description);
    explicit CBBookmarkEditorVC(bool description);

    const std::shared_ptr<CBGeoObject>& bookmark() const { return bookmark_; }
    void setBookmark(std::shared_ptr<CBGeoObject> bookmark) { bookmark_ = std::move(bookmark); }
    const std::shared_ptr<CBBasicAnnotation>& annotationForNewBookmark() const {
        return annotationForNewBookmark_;
    }
    void setAnnotationForNewBookmark(std::shared_ptr<CBBasicAnnotation> annotation) {
        annotationForNewBookmark_ = std::move(annotation);
    }
    bool editingDescription() const { return editingDescription_; }
    const std::shared_ptr<UITextField>& textField() const { return textField_; }
    void setTextField(std::shared_ptr<UITextField> field) { textField_ = std::move(field); }
    const std::shared_ptr<UITextView>& textView() const { return textView_; }
    void setTextView(std::shared_ptr<UITextView> view) { textView_ = std::move(view); }
    // The alert of a failed save, while it shows.
    const std::shared_ptr<UIAlertView>& failureAlert() const { return failureAlert_; }

    // The title as it is stored: a long one cut at a whole character with
    // "...", an empty one the date and time of now.
    static std::string storedTitleForText(const std::string& text);

    void done();
    void cancel();
    // The application ends: what was typed is saved as Done saves it.
    void applicationWillTerminate();

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewWillLayoutSubviews() override;
    CGSize contentSizeForViewInPopover() const override { return {320, 200}; }
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) const override;
    bool textFieldShouldReturn(UITextField& field) override;

  private:
    // Writes the field edited back; false, logged, when the bookmark store
    // could not keep it.
    bool save();
    void stopObservingTermination();

    bool editingDescription_;
    std::shared_ptr<CBGeoObject> bookmark_;
    std::shared_ptr<CBBasicAnnotation> annotationForNewBookmark_;
    std::shared_ptr<UITextField> textField_;
    std::shared_ptr<UITextView> textView_;
    std::shared_ptr<UIAlertView> failureAlert_;
    // While the editor shows: hears the application end, and holds the
    // editor until then (the application lets go of its screens first).
    std::shared_ptr<NSNotificationObserver> terminationObserver_;
};
