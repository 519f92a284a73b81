#pragma once

#include <string>

#include "CoreData/NSFetchedResultsController.h"

// The fetched results of the lists sorted by name: decides the index titles
// of their sections. A list whose sections are the first two letters of the
// names keeps them as its titles; the others take the first letter,
// upper-cased.
class CBFetchedResultsController : public NSFetchedResultsController {
  public:
    using NSFetchedResultsController::NSFetchedResultsController;

    bool twoLetterIndex() const { return twoLetterIndex_; }
    void setTwoLetterIndex(bool flag) { twoLetterIndex_ = flag; }

    // "" for an empty name; the name itself with a two-letter index; else
    // its first character (a letter with its marks counts as one), upper-cased.
    std::string sectionIndexTitleForSectionName(const std::string& sectionName) override;

  private:
    bool twoLetterIndex_ = false;
};
