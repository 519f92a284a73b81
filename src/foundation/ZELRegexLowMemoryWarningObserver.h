#pragma once

// Empties the regular-expression cache when the application is warned of low
// memory: the cache is emptied at once when its lock is free, else the
// warning is taken again 0.1 s later on the main queue.
class ZELRegexLowMemoryWarningObserver {
  public:
    // Observes the memory warning; once per process, later calls do nothing.
    static void startObserving();
    static void lowMemoryWarning();
};
