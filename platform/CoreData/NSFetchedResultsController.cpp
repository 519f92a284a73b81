#include "CoreData/NSFetchedResultsController.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "CoreData/PredicateEvaluator.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSNotificationCenter.h"

namespace {

std::string sectionNameOf(const Value& value) {
    switch (value.type()) {
        case Value::Type::String:
            return *value.stringValue();
        case Value::Type::Bool:
        case Value::Type::Integer:
            return std::to_string(*value.integerValue());
        case Value::Type::Real: {
            char text[32];
            std::snprintf(text, sizeof text, "%.15g", *value.doubleValue());
            return text;
        }
        case Value::Type::Date: {
            char text[32];
            std::snprintf(text, sizeof text, "%.15g",
                          value.dateValue()->timeIntervalSinceReferenceDate());
            return text;
        }
        default:
            return {};
    }
}

struct Report {
    std::shared_ptr<NSManagedObject> object;
    std::optional<NSIndexPath> from;
    NSFetchedResultsChangeType type;
    std::optional<NSIndexPath> to;
};

}  // namespace

NSFetchedResultsController::NSFetchedResultsController(
    std::shared_ptr<NSFetchRequest> fetchRequest, std::shared_ptr<NSManagedObjectContext> context,
    std::string sectionNameKeyPath, std::string cacheName)
    : fetchRequest_(std::move(fetchRequest)),
      context_(std::move(context)),
      sectionNameKeyPath_(std::move(sectionNameKeyPath)),
      cacheName_(std::move(cacheName)) {}

NSFetchedResultsController::~NSFetchedResultsController() {
    NSNotificationCenter::defaultCenter()->removeObserver(observer_);
}

void NSFetchedResultsController::deleteCacheWithName(const std::string&) {
    // Nothing is cached between fetches, so there is nothing to delete.
}

void NSFetchedResultsController::setDelegate(
    std::weak_ptr<NSFetchedResultsControllerDelegate> delegate) {
    delegate_ = std::move(delegate);
    if (fetched_)
        observeContext();
}

void NSFetchedResultsController::observeContext() {
    bool wanted = !delegate_.expired();
    if (wanted == static_cast<bool>(observer_))
        return;
    if (!wanted) {
        NSNotificationCenter::defaultCenter()->removeObserver(observer_);
        observer_.reset();
        return;
    }
    observer_ = NSNotificationCenter::defaultCenter()->addObserverForName(
        NSManagedObjectContextObjectsDidChangeNotification, context_.get(), {},
        [this](const NSNotification& notification) { contextDidChange(notification); });
}

bool NSFetchedResultsController::performFetch(NSError* error) {
    if (!fetchRequest_ || !context_ || fetchRequest_->sortDescriptors.empty()) {
        const char* reason = !fetchRequest_ || !context_
                                 ? "a fetched results controller needs a request and a context"
                                 : "a fetched results controller needs sort descriptors";
        NSLogWithLevel(NSLogLevel::Error, "Core Data: %s", reason);
        if (error) {
            *error = NSError::errorWithDomain(
                NSError::NSCocoaErrorDomain, CoreDataErrors::NSPersistentStoreOperationError,
                {{NSError::NSLocalizedDescriptionKey, Value(reason)}});
        }
        return false;
    }
    auto fetched = context_->executeFetchRequest(*fetchRequest_, error);
    if (!fetched)
        return false;
    entries_.clear();
    entries_.reserve(fetched->size());
    for (auto& object : *fetched)
        entries_.push_back(makeEntry(std::move(object)));
    rebuild();
    fetched_ = true;
    observeContext();
    return true;
}

NSFetchedResultsController::Entry NSFetchedResultsController::makeEntry(
    std::shared_ptr<NSManagedObject> object) const {
    Entry entry;
    entry.sortKeys.reserve(fetchRequest_->sortDescriptors.size());
    for (const NSSortDescriptor& descriptor : fetchRequest_->sortDescriptors)
        entry.sortKeys.push_back(PredicateValueForKeyPath(object, descriptor.key));
    if (!sectionNameKeyPath_.empty())
        entry.sectionName = sectionNameOf(PredicateValueForKeyPath(object, sectionNameKeyPath_));
    entry.object = std::move(object);
    return entry;
}

bool NSFetchedResultsController::ordered(const Entry& a, const Entry& b) const {
    const auto& descriptors = fetchRequest_->sortDescriptors;
    for (size_t i = 0; i < descriptors.size(); ++i) {
        int result = PredicateCompareForSort(a.sortKeys[i], b.sortKeys[i],
                                             static_cast<int>(descriptors[i].comparison));
        if (result != 0)
            return descriptors[i].ascending ? result < 0 : result > 0;
    }
    return false;
}

bool NSFetchedResultsController::belongs(const std::shared_ptr<NSManagedObject>& object) const {
    if (object->isDeleted() || object->managedObjectContext() != context_)
        return false;
    const auto& coordinator = context_->persistentStoreCoordinator();
    const NSEntityDescription* entity =
        coordinator ? coordinator->managedObjectModel()->entityNamed(fetchRequest_->entityName)
                    : nullptr;
    if (!entity || !(fetchRequest_->includesSubentities ? object->entity()->isKindOfEntity(entity)
                                                        : object->entity() == entity)) {
        return false;
    }
    const auto& stores = fetchRequest_->affectedStores;
    if (!stores.empty() && std::find(stores.begin(), stores.end(),
                                     object->objectID().persistentStore()) == stores.end()) {
        return false;
    }
    return !fetchRequest_->predicate || fetchRequest_->predicate->evaluateWithObject(object);
}

void NSFetchedResultsController::rebuild() {
    // Sections in the order of their first object; objects keep their order within.
    std::unordered_map<std::string, size_t> sectionOf;
    std::vector<std::vector<const Entry*>> members;
    std::vector<const std::string*> names;
    for (const Entry& entry : entries_) {
        auto [found, added] = sectionOf.try_emplace(entry.sectionName, members.size());
        if (added) {
            members.emplace_back();
            names.push_back(&entry.sectionName);
        }
        members[found->second].push_back(&entry);
    }
    objects_.clear();
    objects_.reserve(entries_.size());
    paths_.clear();
    for (const auto& section : members) {
        for (const Entry* entry : section)
            objects_.push_back(entry->object);
    }
    sections_.clear();
    indexTitles_.clear();
    std::unordered_set<std::string> titles;
    auto delegate = delegate_.lock();
    size_t start = 0;
    for (size_t s = 0; s < members.size(); ++s) {
        NSFetchedResultsSectionInfo section;
        section.name = *names[s];
        std::optional<std::string> title =
            delegate ? delegate->controllerSectionIndexTitleForSectionName(*this, section.name)
                     : std::nullopt;
        section.indexTitle = title ? *title : sectionIndexTitleForSectionName(section.name);
        section.objects = std::span<const std::shared_ptr<NSManagedObject>>(objects_).subspan(
            start, members[s].size());
        start += members[s].size();
        if (titles.insert(section.indexTitle).second)
            indexTitles_.push_back(section.indexTitle);
        sections_.push_back(std::move(section));
    }
}

std::shared_ptr<NSManagedObject> NSFetchedResultsController::objectAtIndexPath(
    NSIndexPath indexPath) const {
    if (indexPath.section < 0 || static_cast<size_t>(indexPath.section) >= sections_.size())
        return nullptr;
    const auto& objects = sections_[static_cast<size_t>(indexPath.section)].objects;
    if (indexPath.row < 0 || static_cast<size_t>(indexPath.row) >= objects.size())
        return nullptr;
    return objects[static_cast<size_t>(indexPath.row)];
}

std::unordered_map<const NSManagedObject*, NSIndexPath> NSFetchedResultsController::pathsOf(
    const std::unordered_set<const NSManagedObject*>& objects) const {
    std::unordered_map<const NSManagedObject*, NSIndexPath> paths;
    for (size_t s = 0; s < sections_.size() && paths.size() < objects.size(); ++s) {
        const auto& members = sections_[s].objects;
        for (size_t row = 0; row < members.size(); ++row) {
            if (objects.count(members[row].get())) {
                paths[members[row].get()] = NSIndexPath::indexPathForRowInSection(
                    static_cast<long>(row), static_cast<long>(s));
            }
        }
    }
    return paths;
}

std::optional<NSIndexPath> NSFetchedResultsController::indexPathForObject(
    const NSManagedObject* object) const {
    if (paths_.empty() && !objects_.empty()) {
        paths_.reserve(objects_.size());
        for (size_t s = 0; s < sections_.size(); ++s) {
            const auto& members = sections_[s].objects;
            for (size_t row = 0; row < members.size(); ++row) {
                paths_[members[row].get()] = NSIndexPath::indexPathForRowInSection(
                    static_cast<long>(row), static_cast<long>(s));
            }
        }
    }
    auto found = paths_.find(object);
    if (found == paths_.end())
        return std::nullopt;
    return found->second;
}

long NSFetchedResultsController::sectionForSectionIndexTitleAtIndex(const std::string& title,
                                                                    long sectionIndex) const {
    if (sections_.empty())
        return -1;
    for (size_t s = 0; s < sections_.size(); ++s) {
        if (sections_[s].indexTitle == title)
            return static_cast<long>(s);
    }
    return std::clamp(sectionIndex, 0L, static_cast<long>(sections_.size()) - 1);
}

std::string NSFetchedResultsController::sectionIndexTitleForSectionName(
    const std::string& sectionName) {
    if (sectionName.empty())
        return {};
    icu::UnicodeString name = icu::UnicodeString::fromUTF8(sectionName);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    int32_t end = name.length();
    if (U_SUCCESS(status)) {
        characters->setText(name);
        int32_t next = characters->following(0);
        if (next != icu::BreakIterator::DONE)
            end = next;
    }
    std::string title;
    name.tempSubString(0, end).toUpper(icu::Locale::getRoot()).toUTF8String(title);
    return title;
}

void NSFetchedResultsController::contextDidChange(const NSNotification& notification) {
    const NSManagedObjectContextChanges* changes =
        NSManagedObjectContext::changesInNotification(notification);
    auto delegate = delegate_.lock();
    if (!changes || !delegate || !fetched_)
        return;
    // Every changed object leaves the results and comes back if it still belongs.
    std::unordered_set<const NSManagedObject*> touched;
    std::vector<std::shared_ptr<NSManagedObject>> candidates;
    for (const auto* list :
         {&changes->deletedObjects, &changes->insertedObjects, &changes->updatedObjects}) {
        for (const auto& object : *list) {
            if (touched.insert(object.get()).second)
                candidates.push_back(object);
        }
    }
    std::unordered_map<const NSManagedObject*, NSIndexPath> oldPaths = pathsOf(touched);
    std::vector<NSFetchedResultsSectionInfo> oldSections;
    for (const auto& section : sections_)
        oldSections.push_back({section.name, section.indexTitle, {}});
    entries_.erase(
        std::remove_if(entries_.begin(), entries_.end(),
                       [&](const Entry& entry) { return touched.count(entry.object.get()) > 0; }),
        entries_.end());
    const auto kept = static_cast<std::ptrdiff_t>(entries_.size());
    for (const auto& object : candidates) {
        if (belongs(object))
            entries_.push_back(makeEntry(object));
    }
    auto less = [this](const Entry& a, const Entry& b) { return ordered(a, b); };
    std::stable_sort(entries_.begin() + kept, entries_.end(), less);
    std::inplace_merge(entries_.begin(), entries_.begin() + kept, entries_.end(), less);
    rebuild();
    std::unordered_map<const NSManagedObject*, NSIndexPath> newPaths = pathsOf(touched);

    std::vector<Report> reports;
    for (const auto& object : candidates) {
        auto from = oldPaths.find(object.get());
        auto to = newPaths.find(object.get());
        bool was = from != oldPaths.end(), is = to != newPaths.end();
        if (was && !is) {
            reports.push_back({object, from->second, NSFetchedResultsChangeType::Delete, {}});
        } else if (!was && is) {
            reports.push_back({object, {}, NSFetchedResultsChangeType::Insert, to->second});
        } else if (was && is) {
            reports.push_back({object, from->second,
                               from->second == to->second ? NSFetchedResultsChangeType::Update
                                                          : NSFetchedResultsChangeType::Move,
                               to->second});
        }
    }
    std::unordered_set<std::string> oldNames, newNames;
    for (const auto& section : oldSections)
        oldNames.insert(section.name);
    for (const auto& section : sections_)
        newNames.insert(section.name);
    bool sectionsChanged = oldNames != newNames;
    if (reports.empty() && !sectionsChanged)
        return;
    delegate->controllerWillChangeContent(*this);
    for (size_t s = 0; s < oldSections.size(); ++s) {
        if (!newNames.count(oldSections[s].name)) {
            delegate->controllerDidChangeSectionAtIndexForChangeType(
                *this, oldSections[s], s, NSFetchedResultsChangeType::Delete);
        }
    }
    for (size_t s = 0; s < sections_.size(); ++s) {
        if (!oldNames.count(sections_[s].name)) {
            delegate->controllerDidChangeSectionAtIndexForChangeType(
                *this, sections_[s], s, NSFetchedResultsChangeType::Insert);
        }
    }
    for (const Report& report : reports) {
        delegate->controllerDidChangeObjectAtIndexPathForChangeTypeNewIndexPath(
            *this, report.object, report.from, report.type, report.to);
    }
    delegate->controllerDidChangeContent(*this);
}
