#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "model/CBCityGuide.h"

// Where the user was in the city guide, kept in the user defaults so that
// the guide opens there again: the section of the dial, the place list over
// it and how far that list was scrolled, and the tab. Stored values of the
// wrong kind (a changed definition file, a damaged defaults file) are
// ignored and removed.
class CBCityGuideState {
  public:
    static constexpr const char* kLastTopIndexKey = "CBCityGuideLastTopIndex";
    static constexpr const char* kLastTagFilterKey = "CBCityGuideLastTagFilter";
    static constexpr const char* kLastSubTitleKey = "CBCityGuideLastSubTitle";
    static constexpr const char* kLastShowUnnamedKey = "CBCityGuideLastShowUnnamed";
    static constexpr const char* kLastTableScrollPositionKey = "CBLastTableScrollPosition";
    static constexpr const char* kTabKey = "CBGuideTabController_Key";

    // The section opened last, when it is one of `sectionCount`.
    static std::optional<size_t> lastTopIndex(size_t sectionCount);
    static void setLastTopIndex(size_t index);

    // The place list opened last over a category list or the letter index.
    struct PlaceList {
        std::string title;
        CBGuideTagFilter tags;
        bool showUnnamed = false;
    };
    static std::optional<PlaceList> lastPlaceList();
    // The letter index keeps no flag for unnamed places.
    static void setLastPlaceList(const PlaceList& list, bool keepShowUnnamed);
    static void forgetLastPlaceList();

    // The vertical offset of the place list, in points.
    static std::optional<double> lastTableScrollPosition();
    static void setLastTableScrollPosition(double offset);
    static void forgetLastTableScrollPosition();

    // Forgets the place list and its scroll position, and the section too
    // when asked.
    static void reset(bool includingTopPosition);

    // The tab to select of `tabCount`: the one selected last, the last tab
    // for a stored index past the end, the first without one.
    static size_t tabToSelect(size_t tabCount);
    static void setSelectedTab(size_t index);
};
