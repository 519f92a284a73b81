#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Writes markup in one plain form that every HTML tokenizer reads alike:
// text with "&", "<" and ">" escaped, attribute values double-quoted, no
// comments. The limits on markup write through it, so that the parser
// sees exactly the tags they counted.
class WebMarkupWriter {
  public:
    using Attributes = std::vector<std::pair<std::string, std::string>>;
    // Texts as they stand in markup keep their character references; texts
    // a parser decoded have them written anew.
    enum class Texts { asWritten, decoded };

    explicit WebMarkupWriter(Texts texts) : texts_(texts) {}

    // name and attribute names lower case, as the tokenizer leaves them;
    // selfClosing closes an element of SVG or MathML at once.
    void startTag(std::string_view name, const Attributes& attributes, bool selfClosing = false);
    void endTag(std::string_view name);
    void text(std::string_view text);
    // The content of a style, title or textarea, which ends at its end tag.
    void rawText(std::string_view text) { out_.append(text); }
    void doctype() { out_.append("<!DOCTYPE html>"); }

    std::string take() { return std::move(out_); }

  private:
    void escaped(std::string_view text, bool attribute);

    Texts texts_;
    std::string out_;
};
