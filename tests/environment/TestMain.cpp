#include <gtest/gtest.h>

#include "Dispatch/DispatchQueue.h"

// Every test program ends as the application does: background work a test
// left running (a pre-fill, a link detection) stops before the exit
// handlers tear down what it reads.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    DispatchQueue::exitProgram(RUN_ALL_TESTS());
}
