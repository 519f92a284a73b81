#pragma once

class SdkService;

// Registers the crash upload "api/2/apps/<id>/crashes" and GET /_crashes,
// the crashes it took with their decoded XML values.
void addCrashEndpoint(SdkService& service);
