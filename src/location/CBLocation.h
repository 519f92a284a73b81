#pragma once

#include <any>
#include <string>

#include "CoreLocation/CLLocation.h"

// A position with a name, a description and whatever its maker attaches.
class CBLocation : public CLLocation {
  public:
    using CLLocation::CLLocation;

    const std::string& strName() const { return strName_; }
    void setStrName(std::string name) { strName_ = std::move(name); }
    const std::string& strDesc() const { return strDesc_; }
    void setStrDesc(std::string description) { strDesc_ = std::move(description); }
    const std::any& payLoad() const { return payLoad_; }
    void setPayLoad(std::any payLoad) { payLoad_ = std::move(payLoad); }

    // Such places are not kept in a geo store: nothing is written.
    void saveToGeoData() {}

  private:
    std::string strName_;
    std::string strDesc_;
    std::any payLoad_;
};
