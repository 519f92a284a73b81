#include "sdk/BITCategoryContainer.h"

void BITCategoryContainer::activateCategory() {}
