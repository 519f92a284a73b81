#pragma once

#include <memory>
#include <string>

#include "Foundation/Value.h"

// The calling thread as an object. Each thread has one NSThread for its whole
// life, created on first use; the main thread is the one that runs main().
class NSThread {
  public:
    static std::shared_ptr<NSThread> currentThread();
    static std::shared_ptr<NSThread> mainThread();
    static bool isMainThread();  // is the calling thread the main thread

    bool isMain() const;
    // A dictionary private to the thread; only that thread may touch it.
    Value::Dictionary& threadDictionary() { return dictionary_; }
    const std::string& name() const { return name_; }
    // Also names the OS thread (its first 15 bytes, cut at a character
    // boundary) when called on the thread itself; the OS cannot rename a
    // thread safely from outside, so then only the property changes.
    void setName(std::string name);

    NSThread(bool isMain) : isMain_(isMain) {}

  private:
    bool isMain_;
    std::string name_;
    Value::Dictionary dictionary_;
};
