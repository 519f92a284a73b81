#pragma once

class SdkService;

// Registers the store's lookup "/lookup?bundleId=B&country=C" (JSON
// {"resultCount", "results": [{"bundleId", "version", "trackViewUrl"}]}; no
// results for a bundle or country the store does not list), the store page
// "/store/<bundle id>" it links to, and the control
//   POST /_control/store?bundleId=B&country=C&version=V
// which lists version V of bundle B in country C (lower-case).
void addStoreEndpoint(SdkService& service);
