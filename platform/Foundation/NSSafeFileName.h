#pragma once

#include <string>

// A name from outside (an attachment, a contact's name) as a plain file
// name: its last path component, without control characters, slashes,
// backslashes or colons, no leading dots or spaces, at most 200 bytes (cut
// on a character boundary); `fallback` when nothing is left. Joined to a
// folder it always names a file directly inside that folder.
std::string NSSafeFileName(const std::string& name, const std::string& fallback);
