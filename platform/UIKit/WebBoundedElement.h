#pragma once

#include <litehtml/litehtml.h>

#include <cstring>
#include <memory>

#include "UIKit/WebLayoutBudget.h"

// A litehtml element of the class litehtml makes for its tag, whose display
// and float pass through the page's layout budget as its styles are
// computed (WebLayoutBudget.h). Each step of the document's build visits
// every element (attributes, style sheets, styles, tables, layout): once
// the page's budget is stopped, an element skips the step and its children
// with it, so that a page no longer wanted ends within an element's work.
template <class Base>
class WebBoundedElement final : public Base {
  public:
    WebBoundedElement(const std::shared_ptr<litehtml::document>& document, WebLayoutBudget& budget)
        : Base(document), budget_(budget) {}

    void parse_attributes() override {
        if (!budget_.stopped())
            Base::parse_attributes();
    }
    void apply_stylesheet(const litehtml::css& stylesheet) override {
        if (!budget_.stopped())
            Base::apply_stylesheet(stylesheet);
    }
    void parse_styles(bool is_reparse) override {
        if (!budget_.stopped())
            Base::parse_styles(is_reparse);
    }
    void init() override {
        if (!budget_.stopped())
            Base::init();
    }
    int render(int x, int y, int max_width, bool second_pass) override {
        return budget_.stopped() ? 0 : Base::render(x, y, max_width, second_pass);
    }

    const litehtml::tchar_t* get_style_property(const litehtml::tchar_t* name, bool inherited,
                                                const litehtml::tchar_t* def) const override {
        const litehtml::tchar_t* value = Base::get_style_property(name, inherited, def);
        if (!value || inherited)
            return value;
        if (std::strcmp(name, "display") == 0)
            return budget_.display(*this, value);
        if (std::strcmp(name, "float") == 0)
            return budget_.floating(*this, value);
        return value;
    }

  private:
    WebLayoutBudget& budget_;
};

// The element litehtml 0.6 makes for a tag, bounded by the budget.
std::shared_ptr<litehtml::element> WebCreateBoundedElement(
    const char* tag, const std::shared_ptr<litehtml::document>& document, WebLayoutBudget& budget);
