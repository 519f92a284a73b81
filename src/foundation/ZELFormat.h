#pragma once

#include <optional>
#include <string>
#include <string_view>

// printf for formats that come from resources (localised strings): the
// format must hold exactly one floating-point conversion (%f, %.1f, %g, ...)
// besides literal text and "%%"; anything else gives nullopt, so a broken
// translation can never read arguments that were not passed.
std::optional<std::string> ZELFormatWithDouble(std::string_view format, double value);
