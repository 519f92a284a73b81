#include "CBGeoData/CBGeoNodeInfo.h"

#include "CBGeoData/CBGeoElement.h"
#include "CBGeoData/CBGeoNode.h"
#include "CoreData/NSManagedObjectContext.h"

std::shared_ptr<CBGeoNodeInfo> CBGeoNodeInfo::nodeInfoWithNewNodeAtWithOrderInContext(
    CLLocationCoordinate2D coordinate, int64_t order,
    const std::shared_ptr<NSManagedObjectContext>& context) {
    auto node = CBGeoNode::nodeWithLatitudeAndLongitudeInContext(coordinate.latitude,
                                                                 coordinate.longitude, context);
    if (!node)
        return nullptr;
    return nodeInfoWithNodeWithOrderInContext(node, order, context);
}

std::shared_ptr<CBGeoNodeInfo> CBGeoNodeInfo::nodeInfoWithNodeWithOrderInContext(
    const std::shared_ptr<CBGeoNode>& node, int64_t order,
    const std::shared_ptr<NSManagedObjectContext>& context) {
    if (!context)
        return nullptr;
    auto info = std::dynamic_pointer_cast<CBGeoNodeInfo>(
        context->insertNewObjectForEntityForName(kEntityName));
    if (info) {
        info->setValueForKey("order", Value(order));
        info->setObjectForKey("node", node);
    }
    return info;
}

std::shared_ptr<CBGeoNode> CBGeoNodeInfo::node() {
    return std::dynamic_pointer_cast<CBGeoNode>(objectForKey("node"));
}

std::shared_ptr<CBGeoElement> CBGeoNodeInfo::element() {
    return std::dynamic_pointer_cast<CBGeoElement>(objectForKey("element"));
}

CLLocationCoordinate2D CBGeoNodeInfo::coordinate() {
    auto stored = node();
    return stored ? stored->coordinate() : CLLocationCoordinate2D{0.0, 0.0};
}
