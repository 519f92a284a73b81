#include "places/CBBookmarkEditorVC.h"

#include <gtest/gtest.h>

#include "CBGeoData/CBGeoObject+BookmarkAdditions.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "Foundation/NSNotificationCenter.h"
#include "PlacesFixture.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UITextView.h"
#include "mapkit/CBBasicAnnotation.h"

namespace {

class CBBookmarkEditorVCTest : public PlacesTest {
  protected:
    // The editor pushed over a first screen, its view loaded.
    std::shared_ptr<CBBookmarkEditorVC> edit(bool description,
                                             const std::shared_ptr<CBGeoObject>& bookmark) {
        auto editor = CBBookmarkEditorVC::initEditDescription(description);
        editor->setBookmark(bookmark);
        push(editor);
        return editor;
    }
    void push(const std::shared_ptr<UIViewController>& editor) {
        navigation_ =
            std::make_shared<UINavigationController>(std::make_shared<UIViewController>());
        window_ = makeWindow({320, 568});
        window_->setRootViewController(navigation_);
        navigation_->pushViewControllerAnimated(editor, false);
        window_->layoutIfNeeded();
    }
    std::shared_ptr<CBGeoObject> userBookmark(const std::string& name) {
        auto pin = std::make_shared<CBBasicAnnotation>(53.52, 13.235);
        pin->setTitle(name);
        return bookmarks_->addBookmarkFromAnnotation(pin);
    }
};

TEST_F(CBBookmarkEditorVCTest, EditingTheNoteWritesOnlyTheNote) {
    // A name longer than a title may be (stored by an older version).
    const std::string longName(150, 'n');
    auto bookmark = userBookmark(longName);
    ASSERT_TRUE(bookmark);
    const auto canonical = bookmark->canonicalName();
    auto editor = edit(true, bookmark);
    EXPECT_TRUE(editor->textField()->isHidden());
    EXPECT_FALSE(editor->textView()->isHidden());
    EXPECT_EQ(editor->title(), "Edit description");
    // The note is read from the text view the editor holds.
    auto note = std::make_shared<UITextView>();
    note->setText("Table by the window");
    editor->setTextView(note);
    editor->done();
    EXPECT_NE(navigation_->topViewController(), editor);
    EXPECT_EQ(bookmarkDescription(*bookmark), "Table by the window");
    EXPECT_EQ(bookmark->name(), longName);
    EXPECT_EQ(bookmark->canonicalName(), canonical);
    EXPECT_FALSE(bookmark->hasChanges());
}

TEST_F(CBBookmarkEditorVCTest, TitlesAreCutAtAWholeCharacterOrDatedWhenEmpty) {
    auto bookmark = userBookmark("Swimming spot");
    setBookmarkDescription(*bookmark, "keep me");
    auto editor = edit(false, bookmark);
    EXPECT_EQ(editor->textField()->text(), "Swimming spot");
    EXPECT_EQ(editor->title(), "Edit title");
    const std::string hundred(100, 't');
    editor->textField()->setText(hundred);
    editor->textFieldShouldReturn(*editor->textField());
    EXPECT_EQ(bookmark->name(), hundred);
    EXPECT_EQ(bookmarkDescription(*bookmark), "keep me");  // the note stays as it was

    EXPECT_EQ(CBBookmarkEditorVC::storedTitleForText(std::string(101, 't')),
              std::string(97, 't') + "...");
    const std::string beer = std::string(96, 't') + "\U0001F37A" + "tttt";
    EXPECT_EQ(CBBookmarkEditorVC::storedTitleForText(beer), std::string(96, 't') + "...");
    // Cleared, the title is the moment of the edit.
    const std::string dated = CBBookmarkEditorVC::storedTitleForText("");
    EXPECT_FALSE(dated.empty());
    EXPECT_NE(dated.find_first_of("0123456789"), std::string::npos) << dated;
}

TEST_F(CBBookmarkEditorVCTest, AFailedSaveKeepsTheEditorAndItsText) {
    auto bookmark = userBookmark("Swimming spot");
    auto editor = edit(true, bookmark);
    // The store goes away under the editor (a disk pulled, a folder removed).
    auto coordinator = bookmarks_->managedObjectContext()->persistentStoreCoordinator();
    for (const auto& store : coordinator->persistentStores())
        coordinator->removePersistentStore(store, nullptr);
    editor->textView()->setText("Table by the window");
    editor->done();
    EXPECT_EQ(navigation_->topViewController(), editor);
    EXPECT_EQ(editor->textView()->text(), "Table by the window");
    ASSERT_TRUE(editor->failureAlert());
    EXPECT_EQ(editor->failureAlert()->title(), "Bookmark not saved");
    editor->cancel();
    EXPECT_NE(navigation_->topViewController(), editor);
}

TEST_F(CBBookmarkEditorVCTest, QuittingWithTheEditorOpenSavesWhatWasTyped) {
    auto bookmark = userBookmark("Swimming spot");
    std::weak_ptr<CBBookmarkEditorVC> open;
    {
        // An editor closed with Cancel keeps nothing, not even on quitting.
        auto cancelled = edit(false, bookmark);
        cancelled->textField()->setText("not this");
        cancelled->cancel();
        auto editor = edit(true, bookmark);
        editor->textView()->setText("Shallow water by the jetty");
        open = editor;
    }
    // The application lets go of its window and screens before it says it ends.
    window_.reset();
    navigation_.reset();
    NSNotificationCenter::defaultCenter()->postNotificationName(
        UIApplicationWillTerminateNotification);
    EXPECT_EQ(bookmarkDescription(*bookmark), "Shallow water by the jetty");
    EXPECT_EQ(bookmark->name(), "Swimming spot");
    EXPECT_FALSE(bookmark->hasChanges());
    EXPECT_TRUE(open.expired());
}

TEST_F(CBBookmarkEditorVCTest, APinIsEditedInPlaceUntilItIsKept) {
    auto pin = std::make_shared<CBBasicAnnotation>(53.52, 13.235);
    pin->setTitle(NSLocalizedString("CBTitleForNewAnnotations"));
    pin->setSubtitle(std::string("by the jetty"));
    auto editor = CBBookmarkEditorVC::initEditDescription(false);
    editor->setAnnotationForNewBookmark(pin);
    push(editor);
    EXPECT_EQ(editor->textField()->text(), "");
    EXPECT_EQ(editor->textView()->text(), "by the jetty");
    editor->cancel();
    EXPECT_EQ(pin->title(), NSLocalizedString("CBTitleForNewAnnotations"));

    auto again = CBBookmarkEditorVC::initEditDescription(true);
    again->setAnnotationForNewBookmark(pin);
    push(again);
    again->textView()->setText("Shallow water");
    again->done();
    EXPECT_EQ(pin->subtitle(), "Shallow water");
    EXPECT_EQ(pin->title(), NSLocalizedString("CBTitleForNewAnnotations"));
}

}  // namespace
