#pragma once

class SdkService;

// Registers the telemetry upload "v2/track" and its inspection endpoint.
void addTrackEndpoint(SdkService& service);
