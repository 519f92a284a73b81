#pragma once

#include <cstddef>

// The process's open descriptors, which a server's connections and the files
// it sends share: how many it may have, and whether few are left. Linux hands
// out the lowest free descriptor, so the table fills from the bottom and the
// lowest free one tells how full it is.
class DescriptorTable {
  public:
    // Raises the soft limit on open descriptors to the hard limit, so that a
    // server is not held to a default meant for interactive programs.
    static void raiseLimit();
    // When fewer are left than the requests under way at once may need (a
    // sixteenth of the limit, at least 4 and at most 64), how many must be
    // freed for twice as many to be left; else 0.
    static size_t shortBy();
    // The error of an open, socket or accept says no descriptor was to be
    // had, which a later try may find.
    static bool ranOut(int error);
};
