// Change reports of a context: did-change and did-save notifications, and
// merging another context's saved changes.
#include <algorithm>

#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSNotificationCenter.h"

namespace {

using ChangesPointer = std::shared_ptr<const NSManagedObjectContextChanges>;

void collectIDs(NSManagedObjectContextChanges& changes) {
    auto ids = [](const std::vector<std::shared_ptr<NSManagedObject>>& objects) {
        std::vector<NSManagedObjectID> list;
        list.reserve(objects.size());
        for (const auto& object : objects)
            list.push_back(object->objectID());
        return list;
    };
    changes.insertedObjectIDs = ids(changes.insertedObjects);
    changes.updatedObjectIDs = ids(changes.updatedObjects);
    changes.deletedObjectIDs = ids(changes.deletedObjects);
}

}  // namespace

const NSManagedObjectContextChanges* NSManagedObjectContext::changesInNotification(
    const NSNotification& notification) {
    const auto* changes = std::any_cast<ChangesPointer>(&notification.payload);
    return changes ? changes->get() : nullptr;
}

void NSManagedObjectContext::postChanges(const char* name,
                                         std::shared_ptr<NSManagedObjectContextChanges> changes) {
    collectIDs(*changes);
    NSNotification notification{name, this, {}};
    notification.payload = ChangesPointer(std::move(changes));
    NSNotificationCenter::defaultCenter()->postNotification(notification);
}

void NSManagedObjectContext::scheduleProcessPendingChanges() {
    // Blocks of the global queue may run anywhere: no queue to come back to.
    std::shared_ptr<DispatchQueue> queue = DispatchQueue::current();
    if (!queue || queue == DispatchQueue::global())
        return;
    processingScheduled_ = true;
    queue->async([context = weak_from_this()] {
        if (auto strong = context.lock()) {
            strong->processingScheduled_ = false;
            strong->processPendingChanges();
        }
    });
}

void NSManagedObjectContext::processPendingChanges() {
    if (unprocessed_.empty())
        return;
    std::vector<std::shared_ptr<NSManagedObject>> pending = std::move(unprocessed_);
    unprocessed_.clear();
    auto changes = std::make_shared<NSManagedObjectContextChanges>();
    for (const auto& object : pending) {
        object->pendingChange_ = false;
        if (object->context_.lock().get() != this)
            continue;
        if (object->deleted_) {
            // Inserted and deleted before anyone heard of it: nothing happened.
            if (!object->inserted_ || object->announcedInsert_)
                changes->deletedObjects.push_back(object);
        } else if (object->inserted_ && !object->announcedInsert_) {
            object->announcedInsert_ = true;
            changes->insertedObjects.push_back(object);
        } else if (object->inserted_ || object->updated_) {
            changes->updatedObjects.push_back(object);
        }
    }
    if (!changes->empty())
        postChanges(NSManagedObjectContextObjectsDidChangeNotification, std::move(changes));
}

void NSManagedObjectContext::forgetMergedDeletion(const std::shared_ptr<NSManagedObject>& object) {
    // Objects whose cached relationships reach the deleted one read them
    // again from the store, unless they hold changes of their own.
    std::vector<std::shared_ptr<NSManagedObject>> neighbours;
    for (const auto& relationship : object->entity_->relationships()) {
        if (relationship->toMany) {
            const NSManagedObject::ToMany& slot = object->toMany_[relationship->slot];
            neighbours.insert(neighbours.end(), slot.objects.begin(), slot.objects.end());
        } else if (const auto& target = object->toOne_[relationship->slot].object) {
            neighbours.push_back(target);
        }
    }
    registered_.erase(object->objectID_);
    retained_.erase(object->objectID_);
    changed_.erase(std::remove(changed_.begin(), changed_.end(), object), changed_.end());
    unprocessed_.erase(std::remove(unprocessed_.begin(), unprocessed_.end(), object),
                       unprocessed_.end());
    object->deleted_ = true;
    object->updated_ = false;
    detach(*object);
    for (const auto& neighbour : neighbours) {
        if (neighbour->context_.lock().get() == this && !neighbour->hasChanges())
            refreshObjectMergeChanges(neighbour, false);
    }
}

void NSManagedObjectContext::mergeChangesFromContextDidSaveNotification(
    const NSNotification& notification) {
    const NSManagedObjectContextChanges* saved = changesInNotification(notification);
    if (!saved || notification.name != NSManagedObjectContextDidSaveNotification) {
        NSLogWithLevel(NSLogLevel::Error, "Core Data: %s is not a did-save notification",
                       notification.name.c_str());
        return;
    }
    if (notification.object == this || !coordinator_)
        return;
    const NSManagedObjectModel* model = coordinator_->managedObjectModel().get();
    auto ours = [&](const NSManagedObjectID& objectID) {
        return !objectID.isNull() && objectID.entity()->managedObjectModel() == model;
    };
    auto changes = std::make_shared<NSManagedObjectContextChanges>();
    for (const NSManagedObjectID& objectID : saved->insertedObjectIDs) {
        if (!ours(objectID))
            continue;
        if (auto object = objectWithID(objectID))
            changes->insertedObjects.push_back(std::move(object));
    }
    for (const NSManagedObjectID& objectID : saved->updatedObjectIDs) {
        auto object = ours(objectID) ? registeredObject(objectID) : nullptr;
        if (!object)
            continue;
        // Unsaved changes here win over the stored row.
        if (!object->hasChanges())
            refreshObjectMergeChanges(object, false);
        changes->updatedObjects.push_back(std::move(object));
    }
    for (const NSManagedObjectID& objectID : saved->deletedObjectIDs) {
        auto object = ours(objectID) ? registeredObject(objectID) : nullptr;
        if (!object)
            continue;
        forgetMergedDeletion(object);
        changes->deletedObjects.push_back(std::move(object));
    }
    if (!changes->empty())
        postChanges(NSManagedObjectContextObjectsDidChangeNotification, std::move(changes));
}
