#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "CoreLocation/CLLocationSource.h"

struct gps_data_t;

// Fixes from a running gpsd, read with libgps on a thread of its own and
// handed to the main run loop. A fix needs gpsd's mode 2 (2D) or better; the
// course over ground becomes the heading while moving, unless a compass
// sends attitude reports: then their heading is, with a negative accuracy
// (a compass that needs calibrating) while the magnetometer status is
// calibrating or an alarm.
class CLGpsdLocationSource : public CLLocationSource,
                             public std::enable_shared_from_this<CLGpsdLocationSource> {
  public:
    // nullptr when no gpsd answers at host:port ("localhost", "2947").
    static std::shared_ptr<CLGpsdLocationSource> create(const std::string& host = "localhost",
                                                        const std::string& port = "2947");
    ~CLGpsdLocationSource() override;

    void startUpdating() override;
    void stopUpdating() override;
    bool headingAvailable() const override { return true; }
    std::string description() const override;

    CLGpsdLocationSource(std::string host, std::string port, std::unique_ptr<gps_data_t> gps);

  private:
    void readLoop(unsigned generation);

    std::string host_;
    std::string port_;
    std::unique_ptr<gps_data_t> gps_;
    std::thread reader_;
    std::atomic<bool> reading_ = false;
    // Bumped by every stop, so fixes already posted to the main loop by an
    // earlier run are dropped.
    std::shared_ptr<std::atomic<unsigned>> generation_ = std::make_shared<std::atomic<unsigned>>(0);
};
