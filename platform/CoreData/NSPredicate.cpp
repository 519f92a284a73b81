#include "CoreData/NSPredicate.h"

#include "CoreData/NSManagedObject.h"
#include "CoreData/PredicateEvaluator.h"
#include "CoreData/PredicateNode.h"
#include "Foundation/NSLog.h"

NSPredicateArgument::NSPredicateArgument(std::shared_ptr<NSManagedObject> object)
    : kind_(object ? Kind::Object : Kind::Value) {
    if (object)
        objectID_ = object->objectID();
}

NSPredicateArgument::NSPredicateArgument(NSManagedObjectID objectID)
    : kind_(Kind::ObjectID), objectID_(std::move(objectID)) {}

NSPredicateArgument::NSPredicateArgument(const std::vector<NSManagedObjectID>& ids)
    : kind_(Kind::Array) {
    items_.reserve(ids.size());
    for (const auto& id : ids)
        items_.emplace_back(id);
}

NSPredicateArgument::NSPredicateArgument(
    const std::vector<std::shared_ptr<NSManagedObject>>& objects)
    : kind_(Kind::Array) {
    items_.reserve(objects.size());
    for (const auto& object : objects)
        items_.emplace_back(object);
}

std::shared_ptr<NSPredicate> NSPredicate::predicateWithFormat(
    const std::string& format, const std::vector<NSPredicateArgument>& arguments) {
    std::string reason;
    std::shared_ptr<const PredicateNode> root = PredicateParse(format, arguments, &reason);
    if (!root) {
        NSLogWithLevel(NSLogLevel::Error, "Unable to parse the format string \"%s\": %s",
                       format.c_str(), reason.c_str());
        return nullptr;
    }
    return std::make_shared<NSPredicate>(std::move(root));
}

std::shared_ptr<NSPredicate> NSPredicate::predicateWithValue(bool value) {
    auto node = std::make_shared<PredicateNode>();
    node->kind = value ? PredicateNode::Kind::True : PredicateNode::Kind::False;
    return std::make_shared<NSPredicate>(std::move(node));
}

namespace {

std::shared_ptr<NSPredicate> compound(
    PredicateNode::Kind kind, const std::vector<std::shared_ptr<NSPredicate>>& subpredicates) {
    auto node = std::make_shared<PredicateNode>();
    node->kind = kind;
    for (const auto& predicate : subpredicates) {
        if (predicate)
            node->children.push_back(predicate->root());
    }
    // An empty AND holds, an empty OR does not.
    if (node->children.empty()) {
        node->kind = kind == PredicateNode::Kind::And ? PredicateNode::Kind::True
                                                      : PredicateNode::Kind::False;
    }
    return std::make_shared<NSPredicate>(std::move(node));
}

}  // namespace

std::shared_ptr<NSPredicate> NSPredicate::andPredicateWithSubpredicates(
    const std::vector<std::shared_ptr<NSPredicate>>& subpredicates) {
    return compound(PredicateNode::Kind::And, subpredicates);
}

std::shared_ptr<NSPredicate> NSPredicate::orPredicateWithSubpredicates(
    const std::vector<std::shared_ptr<NSPredicate>>& subpredicates) {
    return compound(PredicateNode::Kind::Or, subpredicates);
}

std::shared_ptr<NSPredicate> NSPredicate::notPredicateWithSubpredicate(
    const std::shared_ptr<NSPredicate>& subpredicate) {
    if (!subpredicate)
        return nullptr;
    auto node = std::make_shared<PredicateNode>();
    node->kind = PredicateNode::Kind::Not;
    node->children.push_back(subpredicate->root());
    return std::make_shared<NSPredicate>(std::move(node));
}

std::shared_ptr<NSPredicate> NSPredicate::predicateWithSubstitutionVariables(
    const Variables& variables) const {
    return std::make_shared<NSPredicate>(PredicateSubstitute(root_, variables));
}

bool NSPredicate::evaluateWithObject(const std::shared_ptr<NSManagedObject>& object) const {
    return PredicateEvaluate(*root_, object);
}

bool NSPredicate::evaluateWithObject(const Value& object) const {
    return PredicateEvaluate(*root_, object);
}

std::string NSPredicate::predicateFormat() const {
    return PredicateFormat(*root_);
}

std::vector<std::shared_ptr<NSManagedObject>> NSPredicateFilteredObjects(
    const std::vector<std::shared_ptr<NSManagedObject>>& objects, const NSPredicate& predicate) {
    std::vector<std::shared_ptr<NSManagedObject>> result;
    for (const auto& object : objects) {
        if (predicate.evaluateWithObject(object))
            result.push_back(object);
    }
    return result;
}
