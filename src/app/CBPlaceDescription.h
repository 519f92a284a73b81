#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/Value.h"

class CBGeoObject;
class CBGeoSearchResult;
class CBMapSettlements;
class CLLocation;

// What the map screen writes under a place's name in its search hits and
// callouts: what the place is, where it lies and how far away it is
// ("Bakery · Neubrandenburg · 850 m").
class CBPlaceDescription {
  public:
    // `translations`: the readable tag names; `settlements`: those of the
    // open map; both must outlive the description.
    CBPlaceDescription(const Value::Dictionary& translations, const CBMapSettlements& settlements);

    // Kind, locality and, with a position, the distance, joined with " · ".
    std::string detailTextForResult(CBGeoSearchResult& result, const CLLocation* here) const;
    // A street, else the readable name of the tag that makes the place what
    // it is, else "Address" for a hit at an address; nullopt when none.
    std::optional<std::string> kindOfResult(CBGeoSearchResult& result) const;
    // The readable name of the place's defining tag (a shop's "Bakery", a
    // town's "Town"), else its value in words ("Parking entrance"), else the
    // name of its key ("Shop"); nullopt when the translations name no such
    // key.
    std::optional<std::string> kindOfObject(CBGeoObject& object) const;
    // The city of the hit's address, else the settlement it lies in; nullopt
    // for a settlement itself and for a place beyond them all.
    std::optional<std::string> localityOfResult(CBGeoSearchResult& result) const;

    // Keeps hits of one name together where the first of them stands, a
    // city, town or village ahead of the others of its name (the town Vaduz
    // before its post office), then, with a position, the nearer ahead of
    // the farther (the three supermarkets of one chain); hits keep their
    // order otherwise.
    static void orderHitsOfOneName(std::vector<std::shared_ptr<CBGeoSearchResult>>& hits,
                                   const CLLocation* here);

  private:
    const Value::Dictionary& translations_;
    const CBMapSettlements& settlements_;
};
