#pragma once

#include <string>

class SdkService;

// Registers the beta update check "api/2/apps/<id>" (JSON: the company and
// its builds, newest first; 404 for an unknown app), the install manifest
// "api/2/apps/<id>/app_versions/<build id>?format=plist" and the control
//   POST /_control/builds?app=ID   body {"company": ..., "versions": [...]}
// which makes the app known and replaces its builds. Each build is one
// element of the reply's "versions" as the service sends it ("title",
// "version", "shortversion", "timestamp", "id", "uuids", ...); an optional
// "package_url" is the package the manifest names.
void addBetaEndpoint(SdkService& service);
// Loads {"<app id>": {"company": ..., "versions": [...]}, ...} from a file
// (--builds, for trying by hand); false with a message on stderr when the
// file is unreadable or not of that shape.
bool loadBetaBuilds(SdkService& service, const std::string& path);
