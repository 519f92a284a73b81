#pragma once

#include <httplib.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "SharedBytes.h"

// One request as the service saw it and what it answered. Endpoint handlers
// add a violation for every way the request departs from the protocol; the
// service then answers 422 unless the handler chose a status of its own.
struct SdkExchange {
    // What one request may leave in the records and its answer, however many
    // ways it departs from the protocol: the first violations, each cut short.
    static constexpr size_t kMaximumViolations = 100;
    static constexpr size_t kMaximumViolationBytes = 300;
    // What the record keeps of the fields: the first ones, and of each text
    // field the start of its text (a file's bytes never).
    static constexpr size_t kMaximumRecordedFields = 100;
    static constexpr size_t kMaximumRecordedTextBytes = 1024;

    const httplib::Request& request;
    const httplib::Match& match;  // the endpoint's path pattern groups
    std::vector<std::string> violations;
    int status = 200;
    std::string body;
    std::string contentType = "text/plain";
    // The status a test ordered for this request; it replaces the endpoint's.
    std::optional<int> forcedStatus;
    size_t omittedViolations = 0;
    // The answer made within the service's budget by the endpoint; when set
    // it is written instead of `body`.
    SharedBytes::Shared heldBody = nullptr;

    // Kept within the bounds above; the last kept one then says how many more came.
    void violation(std::string text);
    // A test ordered a failure for this request: like one that never reached
    // the service, nothing of it is kept.
    bool failureOrdered() const {
        return forcedStatus && (*forcedStatus < 200 || *forcedStatus >= 300);
    }

    // Checks shared by the endpoints.
    // The path's first group, checked to be 32 lower-case hex digits.
    std::string appIdentifier();
    void expectMethod(const std::string& method);
    void expectHeader(const std::string& name, const std::string& value);
    // A multipart/form-data body with a boundary (the server has parsed the
    // parts; a body it cannot parse never reaches an endpoint and is recorded
    // with its 400). Answers whether the fields can be looked at.
    bool expectMultipart();
    // A text field (content type "text", no file name) with exactly this value, or any non-empty
    // value when `value` is empty.
    void expectField(const std::string& name, const std::string& value = {});
    // Fields other than these are violations.
    void expectOnlyFields(const std::vector<std::string>& names);

    nlohmann::json record() const;
};
