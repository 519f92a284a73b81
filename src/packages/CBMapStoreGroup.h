#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CoreData/NSManagedObject.h"

class CBMapStoreCountry;
class CBMapStoreFederalRegion;

// A group of the catalogue ("group"): a continent's countries or a
// country's federal regions. The sorted lists are made once.
class CBMapStoreGroup : public NSManagedObject {
  public:
    static constexpr const char* kEntityName = "group";

    std::optional<std::string> groupCode() { return stringForKey("groupCode"); }
    // The stored name through the main bundle's strings.
    std::string localName();
    std::vector<std::shared_ptr<CBMapStoreCountry>> countries();
    std::vector<std::shared_ptr<CBMapStoreFederalRegion>> regions();
    const std::vector<std::shared_ptr<CBMapStoreCountry>>& sortedCountries();
    const std::vector<std::shared_ptr<CBMapStoreFederalRegion>>& sortedRegions();

  protected:
    void didTurnIntoFault() override;

  private:
    std::optional<std::vector<std::shared_ptr<CBMapStoreCountry>>> sortedCountries_;
    std::optional<std::vector<std::shared_ptr<CBMapStoreFederalRegion>>> sortedRegions_;
};
