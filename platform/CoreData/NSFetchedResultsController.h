#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSManagedObject.h"
#include "Foundation/NSError.h"
#include "Foundation/NSIndexPath.h"

class NSManagedObjectContext;
class NSNotificationObserver;
struct NSNotification;
class NSFetchedResultsController;

enum class NSFetchedResultsChangeType { Insert = 1, Delete = 2, Move = 3, Update = 4 };

// One section of the results: the objects sharing a section name. The
// objects view is valid until the results change.
struct NSFetchedResultsSectionInfo {
    std::string name;
    std::string indexTitle;
    std::span<const std::shared_ptr<NSManagedObject>> objects;

    size_t numberOfObjects() const { return objects.size(); }
};

// Hears how the results change once the context processes its changes (or
// saves, or merges another context's save). Between will- and didChangeContent
// the section and object reports use the old index paths for deletes and
// moves' sources, the new ones for inserts and moves' destinations.
class NSFetchedResultsControllerDelegate {
  public:
    virtual ~NSFetchedResultsControllerDelegate() = default;
    virtual void controllerWillChangeContent(NSFetchedResultsController&) {}
    virtual void controllerDidChangeObjectAtIndexPathForChangeTypeNewIndexPath(
        NSFetchedResultsController&, const std::shared_ptr<NSManagedObject>& /*object*/,
        std::optional<NSIndexPath> /*indexPath*/, NSFetchedResultsChangeType,
        std::optional<NSIndexPath> /*newIndexPath*/) {}
    virtual void controllerDidChangeSectionAtIndexForChangeType(
        NSFetchedResultsController&, const NSFetchedResultsSectionInfo& /*section*/,
        size_t /*sectionIndex*/, NSFetchedResultsChangeType) {}
    virtual void controllerDidChangeContent(NSFetchedResultsController&) {}
    // nullopt: the controller's own sectionIndexTitleForSectionName decides.
    virtual std::optional<std::string> controllerSectionIndexTitleForSectionName(
        NSFetchedResultsController&, const std::string& /*sectionName*/) {
        return std::nullopt;
    }
};

// The results of a fetch request, grouped into sections by the value at
// sectionNameKeyPath (an attribute, a to-one key path or a property a class
// derives), for a table to show. Sections keep the order of their first
// object in the request's sort order; a request whose first sort descriptor
// orders by the section key keeps every object in its place. While a
// delegate is set the controller follows its context's change reports and
// tells the delegate what moved. Use it on the context's thread.
class NSFetchedResultsController {
  public:
    // sectionNameKeyPath empty: one section named "". The cache name is
    // accepted; results are always computed afresh.
    NSFetchedResultsController(std::shared_ptr<NSFetchRequest> fetchRequest,
                               std::shared_ptr<NSManagedObjectContext> context,
                               std::string sectionNameKeyPath = {}, std::string cacheName = {});
    virtual ~NSFetchedResultsController();
    NSFetchedResultsController(const NSFetchedResultsController&) = delete;
    NSFetchedResultsController& operator=(const NSFetchedResultsController&) = delete;

    static void deleteCacheWithName(const std::string& name);

    const std::shared_ptr<NSFetchRequest>& fetchRequest() const { return fetchRequest_; }
    const std::shared_ptr<NSManagedObjectContext>& managedObjectContext() const { return context_; }
    const std::string& sectionNameKeyPath() const { return sectionNameKeyPath_; }
    const std::string& cacheName() const { return cacheName_; }
    std::shared_ptr<NSFetchedResultsControllerDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<NSFetchedResultsControllerDelegate> delegate);

    // Runs the fetch; false and *error when it fails (the old results stay).
    bool performFetch(NSError* error = nullptr);

    const std::vector<std::shared_ptr<NSManagedObject>>& fetchedObjects() const { return objects_; }
    const std::vector<NSFetchedResultsSectionInfo>& sections() const { return sections_; }
    // nullptr for a path outside the results.
    std::shared_ptr<NSManagedObject> objectAtIndexPath(NSIndexPath indexPath) const;
    std::optional<NSIndexPath> indexPathForObject(const NSManagedObject* object) const;

    // The index titles of the sections in order, each once.
    const std::vector<std::string>& sectionIndexTitles() const { return indexTitles_; }
    // The first section with that index title; else the section at
    // sectionIndex, clamped; -1 without sections.
    long sectionForSectionIndexTitleAtIndex(const std::string& title, long sectionIndex) const;
    // The index title of a section name: its first character (a letter with
    // its marks counts as one), upper-cased; "" for an empty name.
    virtual std::string sectionIndexTitleForSectionName(const std::string& sectionName);

  private:
    struct Entry {
        std::shared_ptr<NSManagedObject> object;
        std::vector<Value> sortKeys;
        std::string sectionName;
    };
    Entry makeEntry(std::shared_ptr<NSManagedObject> object) const;
    bool ordered(const Entry& a, const Entry& b) const;
    bool belongs(const std::shared_ptr<NSManagedObject>& object) const;
    // Builds objects_, sections_ and the index titles from entries_.
    void rebuild();
    // The index paths of the given objects among the current results.
    std::unordered_map<const NSManagedObject*, NSIndexPath> pathsOf(
        const std::unordered_set<const NSManagedObject*>& objects) const;
    void observeContext();
    void contextDidChange(const NSNotification& notification);

    std::shared_ptr<NSFetchRequest> fetchRequest_;
    std::shared_ptr<NSManagedObjectContext> context_;
    std::string sectionNameKeyPath_;
    std::string cacheName_;
    std::weak_ptr<NSFetchedResultsControllerDelegate> delegate_;
    std::shared_ptr<NSNotificationObserver> observer_;
    bool fetched_ = false;

    std::vector<Entry> entries_;                             // in sort order
    std::vector<std::shared_ptr<NSManagedObject>> objects_;  // grouped by section
    std::vector<NSFetchedResultsSectionInfo> sections_;
    std::vector<std::string> indexTitles_;
    // Every object's index path, built on the first indexPathForObject after a change.
    mutable std::unordered_map<const NSManagedObject*, NSIndexPath> paths_;
};
