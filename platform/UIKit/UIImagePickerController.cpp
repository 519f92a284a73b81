#include "UIKit/UIImagePickerController.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "Foundation/NSFolderSetting.h"
#include "ImageIO/CGImageSource.h"
#include "UIKit/UIBarButtonItem.h"
#include "UIKit/UICollectionViewCell.h"
#include "UIKit/UICollectionViewController.h"
#include "UIKit/UICollectionViewFlowLayout.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UINavigationItem.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kCellIdentifier = "Picture";

NSFolderSetting& picturesFolder() {
    static NSFolderSetting setting;
    return setting;
}

// What xdg-user-dir answers, read once.
std::string desktopPicturesDirectory() {
    static const std::string directory = [] {
        std::string answer;
        if (FILE* pipe = popen("xdg-user-dir PICTURES 2>/dev/null", "r")) {
            char buffer[4096];
            while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
                answer.append(buffer, n);
            pclose(pipe);
        }
        while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r'))
            answer.pop_back();
        if (!answer.empty())
            return answer;
        const char* home = std::getenv("HOME");
        return std::string(home ? home : "") + "/Pictures";
    }();
    return directory;
}

class PictureCell : public UICollectionViewCell {
  public:
    explicit PictureCell(const CGRect& frame = CGRectZero) : UICollectionViewCell(frame) {
        imageView = std::make_shared<UIImageView>(contentView()->bounds());
        imageView->setContentMode(UIViewContentModeScaleAspectFill);
        imageView->setClipsToBounds(true);
        imageView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                       UIViewAutoresizingFlexibleHeight);
        contentView()->addSubview(imageView);
    }
    std::shared_ptr<UIImageView> imageView;
};

// The grid of thumbnails.
class PictureGrid : public UICollectionViewController {
  public:
    explicit PictureGrid(UIImagePickerController& picker)
        : UICollectionViewController(makeLayout()), picker_(picker) {
        setTitle("Pictures");
    }

    void viewDidLoad() override {
        collectionView()->registerCellClass<PictureCell>(kCellIdentifier);
        collectionView()->setBackgroundColor(UIColor::whiteColor());
        navigationItem()->setRightBarButtonItem(std::make_shared<UIBarButtonItem>(
            UIBarButtonSystemItemCancel, [this](UIBarButtonItem&) { picker_.cancel(); }));
    }
    long collectionViewNumberOfItemsInSection(UICollectionView&, long) override {
        return long(picker_.pictures().size());
    }
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        UICollectionView& view, const NSIndexPath& indexPath) override {
        auto cell = std::static_pointer_cast<PictureCell>(
            view.dequeueReusableCellWithReuseIdentifierForIndexPath(kCellIdentifier, indexPath));
        cell->imageView->setImage(thumbnail(size_t(indexPath.row)));
        return cell;
    }
    void collectionViewDidSelectItemAtIndexPath(UICollectionView&,
                                                const NSIndexPath& indexPath) override {
        picker_.pickPictureAtIndex(size_t(indexPath.row));
    }

  private:
    static std::shared_ptr<UICollectionViewFlowLayout> makeLayout() {
        auto layout = std::make_shared<UICollectionViewFlowLayout>();
        layout->setItemSize({75, 75});
        layout->setMinimumInteritemSpacing(4);
        layout->setMinimumLineSpacing(4);
        layout->setSectionInset({4, 4, 4, 4});
        return layout;
    }
    // Decoded once per picture and kept small: a grid of large photos must
    // not hold every full image.
    std::shared_ptr<UIImage> thumbnail(size_t index) {
        if (thumbnails_.size() != picker_.pictures().size())
            thumbnails_.assign(picker_.pictures().size(), nullptr);
        if (index >= thumbnails_.size())
            return nullptr;
        if (!thumbnails_[index]) {
            auto image = UIImage::imageWithContentsOfFile(picker_.pictures()[index]);
            if (!image || !image->CGImage())
                return nullptr;
            const CGImage& full = *image->CGImage();
            const CGFloat scale =
                std::min(1.0, 150.0 / double(std::max(full.width(), full.height())));
            const size_t w = std::max<size_t>(1, size_t(full.width() * scale));
            const size_t h = std::max<size_t>(1, size_t(full.height() * scale));
            auto context = CGContext::createBitmapContext(w, h);
            if (!context)
                return nullptr;
            context->setInterpolationQuality(kCGInterpolationHigh);
            context->drawImage(CGRectMake(0, 0, CGFloat(w), CGFloat(h)), full);
            thumbnails_[index] = UIImage::imageWithCGImage(context->createImage());
        }
        return thumbnails_[index];
    }

    UIImagePickerController& picker_;
    std::vector<std::shared_ptr<UIImage>> thumbnails_;
};

}  // namespace

UIImagePickerController::UIImagePickerController() = default;
UIImagePickerController::~UIImagePickerController() = default;

bool UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceType type) {
    std::error_code error;
    return type != UIImagePickerControllerSourceTypeCamera &&
           fs::is_directory(picturesDirectory(), error);
}

std::string UIImagePickerController::picturesDirectory() {
    return picturesFolder().value(desktopPicturesDirectory);
}

void UIImagePickerController::setPicturesDirectory(const std::string& directory) {
    picturesFolder().set(directory);
}

std::vector<std::string> UIImagePickerController::picturePaths() {
    std::vector<std::pair<fs::file_time_type, std::string>> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(picturesDirectory(), error)) {
        std::error_code entryError;
        if (entry.is_regular_file(entryError) && isPictureFile(entry.path().string()))
            found.emplace_back(entry.last_write_time(entryError), entry.path().string());
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    std::vector<std::string> paths;
    for (auto& [time, path] : found)
        paths.push_back(std::move(path));
    return paths;
}

bool UIImagePickerController::isPictureFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> head(16);
    in.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()));
    head.resize(size_t(in.gcount()));
    return !CGImageSource::createWithData(head)->type().empty();
}

std::optional<std::string> UIImagePickerController::latestPicturePath() {
    auto paths = picturePaths();
    if (paths.empty())
        return std::nullopt;
    return paths.front();
}

void UIImagePickerController::loadView() {
    if (viewControllers().empty()) {
        pictures_ = sourceType_ == UIImagePickerControllerSourceTypeCamera
                        ? std::vector<std::string>{}
                        : picturePaths();
        setViewControllersAnimated({std::make_shared<PictureGrid>(*this)}, false);
    }
    UINavigationController::loadView();
}

bool UIImagePickerController::pickPictureAtIndex(size_t index) {
    if (index >= pictures_.size())
        return false;
    UIImagePickerMediaInfo info{
        "public.image", UIImage::imageWithContentsOfFile(pictures_[index]),
        *NSURL::URLWithString("file://" + NSURL::percentEncode(pictures_[index], "/"))};
    if (!info.originalImage)
        return false;
    if (auto delegate = delegate_.lock())
        delegate->imagePickerControllerDidFinishPickingMediaWithInfo(*this, info);
    return true;
}

void UIImagePickerController::cancel() {
    if (auto delegate = delegate_.lock())
        delegate->imagePickerControllerDidCancel(*this);
}
