#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// The web addresses of the articles of an open store, as stored and
// decoded: bodies link to an article in either spelling. Marking a body
// gives every anchor that leads to one of them the attribute
// data-offline="true", in one pass over the body, so a store of thousands
// of articles costs no more than a few.
class CBWikipediaOfflineLinks {
  public:
    explicit CBWikipediaOfflineLinks(const std::vector<std::string>& urls);

    bool contains(std::string_view href) const;
    size_t size() const { return links_.size(); }
    // The body with data-offline="true" after each href="…" whose value is
    // one of the addresses.
    std::string markedBody(std::string_view body) const;

  private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::unordered_set<std::string, Hash, std::equal_to<>> links_;
};
