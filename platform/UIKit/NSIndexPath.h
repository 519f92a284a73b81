#pragma once

// The index path lives in Foundation, where Core Data's fetched results use it too.
#include "Foundation/NSIndexPath.h"
