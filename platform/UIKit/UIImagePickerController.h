#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Net/NSURL.h"
#include "UIKit/UINavigationController.h"

class UIImage;
class UIImagePickerController;

enum UIImagePickerControllerSourceType : long {
    UIImagePickerControllerSourceTypePhotoLibrary,
    UIImagePickerControllerSourceTypeCamera,
    UIImagePickerControllerSourceTypeSavedPhotosAlbum,
};

// What the delegate gets for a picked picture.
struct UIImagePickerMediaInfo {
    std::string mediaType = "public.image";
    std::shared_ptr<UIImage> originalImage;
    NSURL referenceURL;  // the picture's file URL
};

class UIImagePickerControllerDelegate {
  public:
    virtual ~UIImagePickerControllerDelegate() = default;
    virtual void imagePickerControllerDidFinishPickingMediaWithInfo(UIImagePickerController&,
                                                                    const UIImagePickerMediaInfo&) {
    }
    virtual void imagePickerControllerDidCancel(UIImagePickerController&) {}
};

// Picks a picture of the desktop's Pictures folder: a grid of thumbnails,
// newest first (PNG and JPEG files, told by their content), Cancel in the
// bar. There is no camera. The folder is the host's --pictures DIR, else
// what `xdg-user-dir PICTURES` names, else ~/Pictures.
class UIImagePickerController : public UINavigationController {
  public:
    UIImagePickerController();
    ~UIImagePickerController() override;

    static bool isSourceTypeAvailable(UIImagePickerControllerSourceType type);
    static std::string picturesDirectory();
    // Empty: back to the desktop's own folder.
    static void setPicturesDirectory(const std::string& directory);
    // The picture files of the folder, newest first.
    static std::vector<std::string> picturePaths();
    // Whether a file holds a PNG or JPEG picture, by its first bytes.
    static bool isPictureFile(const std::string& path);
    // The newest picture, where a screen wants the latest photo.
    static std::optional<std::string> latestPicturePath();

    UIImagePickerControllerSourceType sourceType() const { return sourceType_; }
    void setSourceType(UIImagePickerControllerSourceType type) { sourceType_ = type; }
    std::shared_ptr<UIImagePickerControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIImagePickerControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // The pictures shown, and what tapping one or Cancel does.
    const std::vector<std::string>& pictures() const { return pictures_; }
    bool pickPictureAtIndex(size_t index);
    void cancel();

    // The grid becomes the root screen.
    void loadView() override;

  private:
    UIImagePickerControllerSourceType sourceType_ = UIImagePickerControllerSourceTypePhotoLibrary;
    std::weak_ptr<UIImagePickerControllerDelegate> delegate_;
    std::vector<std::string> pictures_;
};
