#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// One argument of a format: text, an integer or a floating-point number.
// Formats take a list of these instead of C varargs, so every conversion is
// checked against what was actually passed.
class NSFormatArgument {
  public:
    NSFormatArgument(const char* text) : value_(std::string(text ? text : "")) {}
    NSFormatArgument(std::string text) : value_(std::move(text)) {}
    NSFormatArgument(std::string_view text) : value_(std::string(text)) {}
    NSFormatArgument(int number) : value_(int64_t{number}) {}
    NSFormatArgument(long number) : value_(int64_t{number}) {}
    NSFormatArgument(long long number) : value_(int64_t{number}) {}
    NSFormatArgument(unsigned number) : value_(int64_t{number}) {}
    NSFormatArgument(unsigned long number) : value_(static_cast<int64_t>(number)) {}
    NSFormatArgument(unsigned long long number) : value_(static_cast<int64_t>(number)) {}
    NSFormatArgument(double number) : value_(number) {}

    const std::string* text() const { return std::get_if<std::string>(&value_); }
    const int64_t* integer() const { return std::get_if<int64_t>(&value_); }
    const double* real() const { return std::get_if<double>(&value_); }

  private:
    std::variant<std::string, int64_t, double> value_;
};

// printf-style formatting over typed arguments. Conversions:
//   %@ and %s   any argument (text as it is, numbers written out)
//   %d %i %u %x %X %o  an integer (length modifiers h hh l ll q z t j are accepted)
//   %c  an integer that is an ASCII character
//   %f %F %e %E %g %G %a %A  a floating-point number
//   %%  a percent sign
// with flags (-+ #0), a width and a precision written as digits, and
// positions (%1$@, %2$.1f) that all conversions of a format use or none.
// Arguments may go unused (a translation may leave one out). nullopt when a
// conversion is unknown, names an argument that was not passed, or meets
// an argument of another type: the format never reads what it was not given.
std::optional<std::string> NSStringWithFormat(std::string_view format,
                                              std::span<const NSFormatArgument> arguments);

// The conversions of a format in order of appearance, with the argument each
// reads (from 0); nullopt for a malformed format. Callers that want a
// particular shape of format (exactly one number, say) check it here.
struct NSFormatConversion {
    enum class Kind { Any, Integer, Real };
    Kind kind;
    size_t argument;
};
std::optional<std::vector<NSFormatConversion>> NSFormatConversions(std::string_view format);
inline std::optional<std::string> NSStringWithFormat(
    std::string_view format, std::initializer_list<NSFormatArgument> arguments) {
    return NSStringWithFormat(format, std::span(arguments.begin(), arguments.size()));
}

// The main bundle's translation of key (from table, default "Localizable")
// filled with the arguments, e.g.
//   NSLocalizedFormat("PlacesCount", {count, cityName})
// A translation that does not fit the arguments is logged and skipped for the
// next language (the user's, then English, then Base), then the key itself
// as a format; when nothing fits, the key is returned as it stands.
std::string NSLocalizedFormat(const std::string& key,
                              std::initializer_list<NSFormatArgument> arguments,
                              const std::string& table = {});

// The form of key that the user's language takes for `count` (its plural
// rules, from ICU): the translation of "key:one", "key:few" and so on, else
// of "key:other", filled with count as NSLocalizedFormat fills a format.
std::string NSLocalizedPluralFormat(const std::string& key, long count,
                                    const std::string& table = {});
