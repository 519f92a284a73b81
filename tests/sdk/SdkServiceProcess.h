#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "Foundation/Value.h"

// tools/sdk-service run as a child process on 127.0.0.1 for one test.
class SdkServiceProcess {
  public:
    // Apps the service knows; more options of its command line.
    explicit SdkServiceProcess(const std::vector<std::string>& apps = {},
                               const std::vector<std::string>& options = {});
    ~SdkServiceProcess();

    bool running() const { return port_ > 0; }
    int port() const { return port_; }
    // "http://127.0.0.1:<port>/"
    std::string baseURL() const;
    // Every exchange the service recorded (an array of dictionaries).
    Value received() const;
    // The next request is answered with `status`, or its connection dropped.
    void answerNextWith(int status) const;
    // ... with this body (empty: none) and, when given, a Location header.
    void answerNextWith(int status, const std::string& body,
                        const std::string& location = {}) const;
    // The crash reports the service accepted, with their decoded XML values.
    Value crashes() const;
    void dropNext() const;
    // What the service's memory budget holds now, in bytes.
    std::optional<size_t> memoryUsed() const;
    // Forgets the exchanges and what the endpoints keep that a reset forgets.
    void reset() const;
    // Replaces the builds the beta check lists for app: {"company", "versions"}
    // as JSON; answers the control's status.
    long setBuilds(const std::string& app, const std::string& json) const;
    // The store lists this version of the bundle in the country.
    void setStoreVersion(const std::string& bundleId, const std::string& country,
                         const std::string& version) const;

  private:
    Value getJSON(const std::string& path) const;
    // body: sent as the request's.
    void control(const std::string& pathAndQuery, const std::string& body = "") const;

    pid_t pid_ = -1;
    int port_ = 0;
};
