#include "ArticleText.h"

#include <cmath>

#include "Foundation/NSString+MarkupEscaping.h"

namespace {

std::string tag(const SampleArticle& article, const std::string& key) {
    auto found = article.tags.find(key);
    return found == article.tags.end() ? std::string() : found->second;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A web site as the tags give it, made an address ("www.x.de" has no scheme).
std::string siteAddress(const std::string& site) {
    return site.find("://") == std::string::npos ? "http://" + site : site;
}

std::string anchor(const std::string& address, const std::string& text) {
    return "<a href=\"" + NSStringByEscapingMarkup(address) + "\">" +
           NSStringByEscapingMarkup(text) + "</a>";
}

// A number and its unit stay on one line: "(490 m)", never "(490" over "m)".
constexpr const char* kUnitSpace = "\u00A0";

std::string metresText(double metres) {
    return std::to_string(static_cast<long>(std::lround(metres / 10.0) * 10)) + kUnitSpace + "m";
}

void fact(std::string& html, const std::string& label, const std::string& value) {
    if (!value.empty())
        html += "<li><b>" + label + ":</b> " + NSStringByEscapingMarkup(value) + "</li>\n";
}

}  // namespace

ArticleText::Kind ArticleText::kindOf(const SampleArticle& article) {
    const std::string historic = tag(article, "historic");
    const std::string place = tag(article, "place");
    if (historic == "city_gate" || contains(article.title, " Tor"))
        return {"ein Stadttor der mittelalterlichen Stadtbefestigung", Group::GatesAndTowers};
    if (contains(article.title, "turm") || tag(article, "man_made") == "tower" ||
        tag(article, "defensive") == "tower")
        return {"ein Turm der mittelalterlichen Stadtbefestigung", Group::GatesAndTowers};
    if (tag(article, "natural") == "water" || contains(article.title, "See") ||
        contains(article.title, "Lieps"))
        return {"ein See", Group::Lakes};
    if (place == "village" || place == "hamlet" || place == "suburb")
        return {"ein Dorf", Group::Villages};
    if (place == "town" || place == "city")
        return {"eine Stadt", Group::Places};
    if (!tag(article, "aeroway").empty())
        return {"ein Flugplatz", Group::Transport};
    if (!tag(article, "route").empty() || !tag(article, "railway").empty())
        return {"ein Radfernweg", Group::Transport};
    if (historic == "castle" || !tag(article, "castle_type").empty())
        return {"eine Burg", Group::Culture};
    if (!tag(article, "building").empty() && tag(article, "building") == "church")
        return {"eine Kirche", Group::Culture};
    if (!place.empty())
        return {"ein Ort", Group::Places};
    if (!tag(article, "amenity").empty() || !tag(article, "tourism").empty() ||
        !tag(article, "building").empty() || !historic.empty() || !tag(article, "leisure").empty())
        return {"ein Bauwerk und Ort der Kultur", Group::Culture};
    return {"ein Ort", Group::Places};
}

std::string ArticleText::html(const SampleArticle& article, const std::string& imageFileName,
                              const std::vector<Neighbour>& neighbours, LinkSpelling spelling) {
    const Kind kind = kindOf(article);
    std::string html = "<p class=\"notice\"><b>Hinweis:</b> " + std::string(kNotice) + "</p>\n";
    html += "<p><b>" + NSStringByEscapingMarkup(article.title) + "</b> ist " + kind.noun +
            " in und um Neubrandenburg im " +
            anchor(kCountyUrl, "Landkreis Mecklenburgische Seenplatte") + ".</p>\n";
    html += "<p class=\"image\"><img src=\"" + imageFileName + "\" alt=\"Kartenausschnitt von " +
            NSStringByEscapingMarkup(article.title) +
            "\"><br>Kartenausschnitt, gezeichnet aus "
            "OpenStreetMap-Daten (© OpenStreetMap contributors, "
            "ODbL).</p>\n";
    std::string facts;
    fact(facts, "Adresse", article.address);
    fact(facts, "Öffnungszeiten", tag(article, "opening_hours"));
    const std::string height = tag(article, "height");
    fact(facts, "Höhe", height.empty() ? std::string() : height + kUnitSpace + "m");
    const std::string elevation = tag(article, "ele");
    fact(facts, "Höhe über dem Meer",
         elevation.empty() ? std::string() : elevation + kUnitSpace + "m");
    fact(facts, "Einwohner", tag(article, "population"));
    const std::string heritage = tag(article, "heritage");
    fact(facts, "Denkmalschutz",
         heritage.empty() ? std::string() : "eingetragenes Baudenkmal (Stufe " + heritage + ")");
    // The package keeps a place's web site as its "url" tag.
    const std::string website = tag(article, "url");
    if (!website.empty())
        facts += "<li><b>Website:</b> " + anchor(siteAddress(website), website) + "</li>\n";
    char position[64];
    std::snprintf(position, sizeof position, "%.5f° N, %.5f° O", article.coordinate.latitude,
                  article.coordinate.longitude);
    fact(facts, "Lage", position);
    html += "<h2>Daten</h2>\n<ul>\n" + facts + "</ul>\n";
    if (!neighbours.empty()) {
        html += "<h2>In der Nähe</h2>\n<ul>\n";
        for (const auto& near : neighbours) {
            const std::string& address =
                spelling == LinkSpelling::Typed ? near.article->sourceUrl : near.article->url;
            html += "<li>" + anchor(address, near.article->title) + " (" + metresText(near.metres) +
                    ")</li>\n";
        }
        html += "</ul>\n";
    }
    return html;
}
