// The map screen and the offline Wikipedia: an article shown on the map
// opens its page again from the button in its callout.
#include "Foundation/NSBundle.h"
#include "Foundation/NSLog.h"
#include "UIKit/UIButton.h"
#include "UIKit/UINavigationController.h"
#include "app/CBMapViewController.h"
#include "mapkit/CBAnnotationView.h"
#include "model/CBWikipediaManager.h"
#include "wikipedia/CBWikipediaArticleAnnotation.h"
#include "wikipedia/CBWikipediaViewer.h"

// Every callout loses its controls once shown, so selecting gives the
// button again.
void CBMapViewController::addArticleButtonToCallout(const CBAnnotationRef& annotation,
                                                    const std::shared_ptr<CBAnnotationView>& view) {
    if (!view || !std::dynamic_pointer_cast<CBWikipediaArticleAnnotation>(annotation))
        return;
    auto button = UIButton::buttonWithType(UIButtonTypeDetailDisclosure);
    button->setAccessibilityLabel(NSLocalizedString("ReadArticle"));
    view->setRightCalloutAccessoryView(button);
}

// The page opens over the map, which shows the article already.
void CBMapViewController::openArticleOfAnnotation(const CBAnnotationRef& annotation) {
    auto pin = std::dynamic_pointer_cast<CBWikipediaArticleAnnotation>(annotation);
    if (!pin)
        return;
    const auto& manager = wikipediaServices_.manager;
    auto article = manager ? pin->articleInManager(*manager) : nullptr;
    auto navigation = navigationController();
    if (!article || !navigation) {
        NSLogWithLevel(NSLogLevel::Warning, "Kelvara: the article %s is not in the open store",
                       pin->title().value_or("?").c_str());
        return;
    }
    auto viewer = std::make_shared<CBWikipediaViewer>(wikipediaServices_);
    viewer->setBasePath(manager->currentImgPath());
    viewer->setIsOnMap(true);
    viewer->setArticle(article);
    navigation->pushViewControllerAnimated(viewer, true);
}
