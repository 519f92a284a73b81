#include "widgets/CBFetchedResultsController.h"

std::string CBFetchedResultsController::sectionIndexTitleForSectionName(
    const std::string& sectionName) {
    if (sectionName.empty())
        return {};
    if (twoLetterIndex_)
        return sectionName;
    return NSFetchedResultsController::sectionIndexTitleForSectionName(sectionName);
}
