#pragma once

#include <string>

#include "FeedbackStore.h"
#include "JsonText.h"

// A thread as the feedback answers carry it, with the keys in the order the
// JSON library sorts them: {"feedback": {"messages": [...]}, "status":
// "success", "token": T}. An attachment whose bytes are gone is named with
// "gone": true and no URL. `withFields` adds each message's text fields, for
// the tests' look at the store.
void writeFeedbackThread(JsonText& json, const FeedbackStore& store, const std::string& token,
                         const FeedbackThread& thread, const std::string& baseURL,
                         bool withFields = false);
