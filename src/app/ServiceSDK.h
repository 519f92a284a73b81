#pragma once

#include <string>

// Configures and starts the service SDK against the SDK service at
// `serverURL` (crash reports, telemetry); the first step of start-up.
void startServiceSDK(const std::string& serverURL);
