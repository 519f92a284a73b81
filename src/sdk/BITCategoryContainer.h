#pragma once

// Referenced by the front when telemetry starts, so that the gzip helpers the
// sender relies on are always linked into the program.
class BITCategoryContainer {
  public:
    static void activateCategory();
};
