#pragma once

#include <string>

#include "LocalHTTPServer.h"

// The routes the Net tests load:
//   /hello          "hello world"
//   /data           100000 bytes, byte i = i % 251 (Range requests answered with 206)
//   /headers        X-Echo: the request's X-Test field
//   /echo           the method, a space and the body (POST, PUT)
//   /redirect       302 to /hello
//   /slow           "late" after 1.5 s
//   /stream         a byte every 20 ms until the client leaves
//   /drop           announces 1000 bytes, sends 100, closes
//   /missing        404 "missing"
class NetTestServer : public LocalHTTPServer {
  public:
    static constexpr size_t kDataLength = 100000;
    static std::string dataBytes(size_t from = 0, size_t to = kDataLength);

    NetTestServer();
};
