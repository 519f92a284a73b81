#include "UIKit/WebBoundedElement.h"

#include <litehtml/el_anchor.h>
#include <litehtml/el_base.h>
#include <litehtml/el_body.h>
#include <litehtml/el_break.h>
#include <litehtml/el_div.h>
#include <litehtml/el_font.h>
#include <litehtml/el_image.h>
#include <litehtml/el_link.h>
#include <litehtml/el_para.h>
#include <litehtml/el_script.h>
#include <litehtml/el_style.h>
#include <litehtml/el_table.h>
#include <litehtml/el_td.h>
#include <litehtml/el_title.h>
#include <litehtml/el_tr.h>

#include <string_view>
#include <unordered_map>

namespace {

using Factory = std::shared_ptr<litehtml::element> (*)(const std::shared_ptr<litehtml::document>&,
                                                       WebLayoutBudget&);

template <class Base>
std::shared_ptr<litehtml::element> make(const std::shared_ptr<litehtml::document>& document,
                                        WebLayoutBudget& budget) {
    return std::make_shared<WebBoundedElement<Base>>(document, budget);
}

// Style and script hold text, never boxes: they stay as they are.
template <class Plain>
std::shared_ptr<litehtml::element> plain(const std::shared_ptr<litehtml::document>& document,
                                         WebLayoutBudget&) {
    return std::make_shared<Plain>(document);
}

// The tags litehtml 0.6 makes elements of their own classes for.
const std::unordered_map<std::string_view, Factory>& factories() {
    static const std::unordered_map<std::string_view, Factory> table{
        {"style", &plain<litehtml::el_style>}, {"script", &plain<litehtml::el_script>},
        {"br", &make<litehtml::el_break>},     {"p", &make<litehtml::el_para>},
        {"img", &make<litehtml::el_image>},    {"table", &make<litehtml::el_table>},
        {"td", &make<litehtml::el_td>},        {"th", &make<litehtml::el_td>},
        {"link", &make<litehtml::el_link>},    {"title", &make<litehtml::el_title>},
        {"a", &make<litehtml::el_anchor>},     {"tr", &make<litehtml::el_tr>},
        {"base", &make<litehtml::el_base>},    {"body", &make<litehtml::el_body>},
        {"div", &make<litehtml::el_div>},      {"font", &make<litehtml::el_font>},
    };
    return table;
}

}  // namespace

std::shared_ptr<litehtml::element> WebCreateBoundedElement(
    const char* tag, const std::shared_ptr<litehtml::document>& document, WebLayoutBudget& budget) {
    const auto found = factories().find(tag ? tag : "");
    return found != factories().end() ? found->second(document, budget)
                                      : make<litehtml::html_tag>(document, budget);
}
