#pragma once

#include <functional>
#include <memory>
#include <string>

// A queue of blocks run by a thread or thread pool:
// - main(): blocks run one after another on the main run loop;
// - global(): blocks run concurrently on a pool of worker threads, one per
//   processor (at least two);
// - createSerial(label): blocks run one after another, in submission order,
//   on the queue's own thread, which is named after the label.
//
// Releasing a serial queue lets its thread finish the blocks already
// submitted; its pending after() blocks are dropped. At the program's end
// (exitProgram, endBackgroundWork, or process exit) the pending blocks of
// every queue are dropped and running ones asked to stop and awaited.
//
// For once-only initialisation use std::call_once or a function-local static.
class DispatchQueue : public std::enable_shared_from_this<DispatchQueue> {
  public:
    using Block = std::function<void()>;
    using Scheduler = std::function<void(std::function<void()>)>;

    static std::shared_ptr<DispatchQueue> main();
    static std::shared_ptr<DispatchQueue> global();
    static std::shared_ptr<DispatchQueue> createSerial(std::string label);

    // The queue whose block the calling thread runs: the main queue on the
    // main thread, nullptr on a thread that no queue owns.
    static std::shared_ptr<DispatchQueue> current();
    bool isCurrent() const;

    const std::string& label() const { return label_; }

    // The program's end: queues take no more blocks, pending ones are
    // dropped, running ones are asked to stop (isEnding) and awaited for at
    // most a few seconds. Answers whether every block ended. exitProgram
    // calls it; exit calls it too, but only after the statics made since the
    // first queue are gone.
    static bool endBackgroundWork();
    // Whether the program is ending: a block that runs long (a page layout,
    // a tile pre-fill) polls it every few milliseconds of work and returns
    // early when it answers true.
    static bool isEnding();
    // Ends the process with `status` in place of returning from main:
    // endBackgroundWork, then the exit handlers. When a block did not stop in
    // time, the process leaves without them (the user defaults and standard
    // streams written out first), so no static is destroyed under the block.
    [[noreturn]] static void exitProgram(int status);

    virtual void async(Block block) = 0;
    // Runs the block on the queue and returns when it has run. On the main
    // queue from the main thread, and on the global queue, it runs at once on
    // the calling thread. A serial queue's own blocks must not sync onto it.
    virtual void sync(Block block) = 0;
    // Runs the block on the queue once `seconds` have passed.
    virtual void after(double seconds, Block block) = 0;

    // A function that hands blocks to async() on this queue; it keeps the
    // queue alive.
    Scheduler scheduler();

    virtual ~DispatchQueue() = default;

  protected:
    explicit DispatchQueue(std::string label) : label_(std::move(label)) {}

    // Marks the calling thread as running blocks of `queue` until the next
    // call; answers the queue it ran before.
    static std::weak_ptr<DispatchQueue> setCurrent(std::weak_ptr<DispatchQueue> queue);

  private:
    std::string label_;
};
