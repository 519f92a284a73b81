#pragma once

#include <memory>
#include <optional>

#include "CoreData/NSManagedObject.h"
#include "CoreLocation/CLLocationCoordinate2D.h"

class NSManagedObjectContext;
class CBGeoElement;
class CBGeoNode;

// The position of a node along an element: makes an element's nodes an ordered list.
class CBGeoNodeInfo : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "nodeInfo";

    // A new node at the coordinate and a new node info with the order and that node.
    static std::shared_ptr<CBGeoNodeInfo> nodeInfoWithNewNodeAtWithOrderInContext(
        CLLocationCoordinate2D coordinate, int64_t order,
        const std::shared_ptr<NSManagedObjectContext>& context);
    static std::shared_ptr<CBGeoNodeInfo> nodeInfoWithNodeWithOrderInContext(
        const std::shared_ptr<CBGeoNode>& node, int64_t order,
        const std::shared_ptr<NSManagedObjectContext>& context);

    std::optional<int64_t> order() { return integerForKey("order"); }
    std::shared_ptr<CBGeoNode> node();
    std::shared_ptr<CBGeoElement> element();
    // The node's coordinate; (0, 0) without a node.
    CLLocationCoordinate2D coordinate();
};
