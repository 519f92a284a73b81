#pragma once

#include <optional>
#include <string>

// Whether Kelvara can keep its files in the home a start names (the folders
// NSSetApplicationHome chose), looked at before anything is written to it.
// Each of its folders (the home's own, Documents, Caches, Library and the
// user defaults' folder) must be a folder, made when missing, writable, and,
// with every folder below it, this user's own: a home of another user's is
// that user's to run Kelvara on (so a start with sudo never writes root's
// files into it), and a folder another user's start left in it (an earlier
// start as root) is one this user cannot write.
class CBHomeFolders {
  public:
    struct Unusable {
        std::string why;     // "/h/Library belongs to root"
        std::string advice;  // what the user can do about it
    };
    // Why Kelvara cannot keep its files in the home whose own folder is
    // `home`, by its folders; nullopt when it can. The first folder found
    // wrong ends the look, before the next is made.
    static std::optional<Unusable> whyUnusable(const std::string& home);
    // The same for the folders below them, looked at by a start that will
    // run: a home's tile cache may hold many files, which a start that hands
    // over need not list.
    static std::optional<Unusable> whyUnusableBelow(const std::string& home);
};
