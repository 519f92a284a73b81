#include "Dispatch/MainDispatchQueue.h"

#include "Dispatch/DispatchCompletion.h"
#include "Dispatch/NSRunLoop.h"
#include "Dispatch/NSThread.h"
#include "Foundation/NSLog.h"

void MainDispatchQueue::async(Block block) {
    NSRunLoop::mainRunLoop()->performBlock(std::move(block));
}

void MainDispatchQueue::sync(Block block) {
    if (!block)
        return;
    if (NSThread::isMainThread()) {
        // Waiting for the loop this thread runs would never end.
        auto previous = setCurrent(weak_from_this());
        block();
        setCurrent(previous);
        return;
    }
    DispatchCompletion completion;
    NSRunLoop::mainRunLoop()->performBlock(completion.wrap(std::move(block)));
    if (!completion.wait()) {
        NSLogWithLevel(NSLogLevel::Warning, "Main queue closed; a sync block was not run");
    }
}

void MainDispatchQueue::after(double seconds, Block block) {
    NSRunLoop::mainRunLoop()->performBlockAt(DispatchWorkList::deadlineAfter(seconds),
                                             std::move(block));
}
