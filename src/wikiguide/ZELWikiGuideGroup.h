#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wikiguide/ZELWikiGuideArticle.h"
#include "wikiguide/ZELWikiGuideItem.h"
#include "wikiguide/ZELWikiGuidePath.h"

// A node of the guide: sub-groups, articles and, for a walk (type 100), the
// route whose stops are the articles in order.
class ZELWikiGuideGroup : public ZELWikiGuideItem,
                          public std::enable_shared_from_this<ZELWikiGuideGroup> {
  public:
    using Articles = std::vector<std::shared_ptr<ZELWikiGuideArticle>>;
    using Groups = std::vector<std::shared_ptr<ZELWikiGuideGroup>>;

    Descriptors jsonDescriptors() const override;
    std::string className() const override { return "ZELWikiGuideGroup"; }
    // Every article of a loaded group knows its group.
    void jsonDidLoad() override;

    std::optional<std::string> groupKey() const { return stringForProperty("groupKey"); }
    Groups groups() const { return objectsForProperty<ZELWikiGuideGroup>("groups"); }
    Articles articles() const { return objectsForProperty<ZELWikiGuideArticle>("articles"); }
    void setArticles(const Articles& articles);
    std::shared_ptr<ZELWikiGuidePath> path() const {
        return objectForProperty<ZELWikiGuidePath>("path");
    }

    // This group's articles, then each sub-group's, depth first.
    Articles recursiveArticles() const;
    // The children first, then each child's descendants in order.
    Groups recursiveSubGroups() const;
    // Per article, its distance along the walk or -1.
    std::vector<double> distancesAlongWalk() const;
    // Seconds: 15 minutes per stop plus 20 minutes per kilometre; 0 without
    // a route.
    double timeIntervalForWalk() const;
};
