#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/UIApplication.h"

// false for an absent URL or one the application cannot open; else opens it
// and answers whether that worked.
bool openURLSafe_zel(const std::shared_ptr<UIApplication>& application,
                     const std::optional<std::string>& url);
