#pragma once

#include <string>
#include <vector>

#include "Foundation/Value.h"
#include "SampleArticles.h"
#include "WalkRoute.h"

class NSManagedObjectContext;

// The guide of the sample package: groups by kind (gates and towers, lakes,
// places with their villages, culture and buildings, transport), the two top
// articles, and the walk through the old town's gates with its route.
struct SampleGuide {
    Value dictionary;
    WalkRoute walk;
    std::string walkTitle;

    // An empty walk route (and *error) when the gates cannot be walked.
    static SampleGuide make(const std::vector<SampleArticle>& articles,
                            const std::vector<std::string>& imageUrls,
                            NSManagedObjectContext& context, std::string* error);
};
