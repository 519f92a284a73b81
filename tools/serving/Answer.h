#pragma once

#include <httplib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "AnswerBody.h"
#include "FileBody.h"

// What a worker made of a request, for the writer to send as the client
// reads it: the bytes of the answer's head (after a "100 Continue", when the
// library sent one), its body, and what becomes of the connection after it.
struct Answer {
    int socket = -1;
    std::string head;
    std::string body;                    // a body the endpoint made whole
    std::shared_ptr<AnswerBody> pulled;  // or one it makes as it goes out
    std::optional<FileBody> file;        // or bytes of a file, sent from the file:
    uint64_t fileOffset = 0;             //   from this offset of it
    uint64_t fileBytes = 0;              //   this many
    bool endsConnection = false;         // the body ends where the connection does
    bool keepAlive = false;              // else the connection is read to its end and closed
    std::string next;                    // bytes of the next request that came with this one
    size_t served = 0;                   // requests answered on the connection, this one too

    // Takes the body out of the library's response before the library writes
    // its head, so that the library writes the head alone. A body from a
    // content provider is pulled as the connection drains, one of a file
    // sent from it: a range of it as the request names one (the request
    // names one at most; an unsatisfiable one is answered 416).
    void takeBodyOf(const httplib::Request& request, httplib::Response& response);
};
