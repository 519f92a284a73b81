#pragma once

#include <string>

#include "mapkit/CBSwissGridCoordinate.h"

// An axis-aligned box on the Swiss grid, in metres.
class CBSwissGridBoundingBox {
  public:
    // The larger and the smaller value of the two corners per axis.
    static CBSwissGridBoundingBox boundingBoxWithCornerCorner(const CBSwissGridCoordinate& a,
                                                              const CBSwissGridCoordinate& b);

    double maxRechts = 0;
    double maxHoch = 0;
    double minRechts = 0;
    double minHoch = 0;

    double maximumRechtsWert() const { return maxRechts; }
    double minimumRechtsWert() const { return minRechts; }
    double maximumHochWert() const { return maxHoch; }
    double minimumHochWert() const { return minHoch; }

    // "<CBSwissGridBoundingBox> minR,minH -> maxR,maxH"
    std::string description() const;
};
