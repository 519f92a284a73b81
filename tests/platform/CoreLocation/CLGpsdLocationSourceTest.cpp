#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "CoreLocation/CLGpsdLocationSource.h"
#include "CoreLocation/CLLocationManager.h"
#include "CoreLocation/CLNoLocationSource.h"
#include "Dispatch/NSRunLoop.h"

namespace {

// A gpsd on a loopback port of its own: it answers the client's watch
// request with the reports it was given, one JSON object a line, and keeps
// the connection open until it is destroyed.
class FakeGpsd {
  public:
    explicit FakeGpsd(std::vector<std::string> reports) : reports_(std::move(reports)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = std::to_string(ntohs(address.sin_port));
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeGpsd() {
        done_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        if (client_ >= 0)
            ::shutdown(client_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        ::close(listener_);
        if (client_ >= 0)
            ::close(client_);
    }
    const std::string& port() const { return port_; }

  private:
    void serve() {
        client_ = ::accept(listener_, nullptr, nullptr);
        if (client_ < 0)
            return;
        send(
            R"({"class":"VERSION","release":"3.22","rev":"3.22","proto_major":3,"proto_minor":14})");
        // The reports follow the watch request.
        std::string request;
        char c = 0;
        while (!done_ && request.find(';') == std::string::npos && ::read(client_, &c, 1) == 1)
            request += c;
        for (const auto& report : reports_)
            send(report);
        while (!done_ && ::read(client_, &c, 1) == 1) {
        }
    }
    void send(const std::string& line) {
        const std::string text = line + "\r\n";
        (void)!::write(client_, text.data(), text.size());
    }

    std::vector<std::string> reports_;
    int listener_ = -1;
    std::atomic<int> client_ = -1;
    std::atomic<bool> done_ = false;
    std::string port_;
    std::thread thread_;
};

struct Headings : CLLocationManagerDelegate {
    void locationManagerDidUpdateHeading(CLLocationManager&,
                                         std::shared_ptr<CLHeading> heading) override {
        headings.push_back(heading);
    }
    void locationManagerDidUpdateToLocationFromLocation(CLLocationManager&,
                                                        std::shared_ptr<CLLocation> location,
                                                        std::shared_ptr<CLLocation>) override {
        locations.push_back(location);
    }
    std::vector<std::shared_ptr<CLHeading>> headings;
    std::vector<std::shared_ptr<CLLocation>> locations;
};

// A compass's attitude reports are the heading; one whose magnetometer is
// calibrating reads with a negative accuracy (a compass that needs
// calibrating), one in good order with a positive one. The course of a
// moving fix is no heading once a compass reports.
TEST(CLGpsdLocationSourceTest, ACompassThatIsCalibratingGivesHeadingsThatNeedCalibration) {
    FakeGpsd gpsd({
        R"({"class":"ATT","device":"/dev/compass","heading":90.0,"mag_st":"C"})",
        R"({"class":"TPV","device":"/dev/gps","mode":2,"lat":53.5575,"lon":13.261,"speed":3.0,"track":200.0})",
        R"({"class":"ATT","device":"/dev/compass","heading":95.0,"mag_st":"N"})",
    });
    ASSERT_FALSE(gpsd.port().empty());
    auto source = CLGpsdLocationSource::create("127.0.0.1", gpsd.port());
    ASSERT_TRUE(source);
    CLLocationManager::setLocationSource(source);
    CLLocationManager manager;
    auto recorder = std::make_shared<Headings>();
    manager.setDelegate(recorder);
    manager.startUpdatingLocation();
    manager.startUpdatingHeading();
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runUntil(
        [&] { return recorder->headings.size() >= 2 && !recorder->locations.empty(); }, 10));
    manager.stopUpdatingHeading();
    manager.stopUpdatingLocation();
    CLLocationManager::setLocationSource(std::make_shared<CLNoLocationSource>());
    ASSERT_EQ(recorder->headings.size(), 2u);
    EXPECT_EQ(recorder->headings[0]->trueHeading(), 90);
    EXPECT_LT(recorder->headings[0]->headingAccuracy(), 0);
    EXPECT_EQ(recorder->headings[1]->trueHeading(), 95);
    EXPECT_GT(recorder->headings[1]->headingAccuracy(), 0);
    ASSERT_EQ(recorder->locations.size(), 1u);
    EXPECT_DOUBLE_EQ(recorder->locations[0]->coordinate().latitude, 53.5575);
}

}  // namespace
