#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "Foundation/Value.h"

class BITPersistence;

// Empties the telemetry folders and the metrics user defaults, so each test
// starts as a first launch.
void resetTelemetryStorage();

// The bundle files persistence holds now.
std::vector<std::string> telemetryFiles(BITPersistence& persistence);
// Writes a bundle file of `lines` (each followed by a line feed) directly.
std::string writeTelemetryFile(BITPersistence& persistence, const std::vector<std::string>& lines);

// A port on 127.0.0.1 on which nothing listens (for a service that is down).
int unusedLocalPort();

// tools/sdk-service on a given port, for a service that comes back.
class SdkServiceOnPort {
  public:
    explicit SdkServiceOnPort(int port);
    ~SdkServiceOnPort();
    bool running() const { return running_; }

  private:
    pid_t pid_ = -1;
    bool running_ = false;
};

// What the service's telemetry endpoint kept: {"lines": [...], "maxInFlight": N}.
Value receivedTelemetry(const std::string& baseURL);
// The envelopes the service accepted, in arrival order.
Value::Array receivedTelemetryLines(const std::string& baseURL);
// The service's records of "/v2/track" requests.
Value::Array trackExchanges(const Value& received);
