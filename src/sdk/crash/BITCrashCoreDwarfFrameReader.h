#pragma once

#include "sdk/crash/BITCrashCoreFrameCursor.h"

// A frame reader that follows the call-frame information of the image around
// pc (its .eh_frame, found through .eh_frame_hdr): it knows where a function
// keeps its return address even without a frame pointer (leaf functions, the
// C library). Expressions are not evaluated; such frames are left to the next
// reader. Runs in signal context.
int BITCrashCoreReadDwarfFrame(const BITCrashCoreAsyncImageList* images,
                               const BITCrashCoreThreadState& current,
                               const BITCrashCoreThreadState* previous,
                               BITCrashCoreThreadState* next);

// Forgets the rows found so far; called when a report starts, as images may
// have changed since. Runs in signal context.
void BITCrashCoreResetDwarfFrameCache();
