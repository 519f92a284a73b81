#pragma once

#include <string>
#include <vector>

#include "SampleArticles.h"

// The German sample text of an article, made from its object's tags. Every
// page opens with the notice that it is generated from OpenStreetMap data.
namespace ArticleText {

// The guide group an article belongs to.
enum class Group { GatesAndTowers, Lakes, Places, Villages, Culture, Transport };

struct Kind {
    std::string noun;  // "ein Stadttor", "ein See", ...
    Group group;
};

Kind kindOf(const SampleArticle& article);

constexpr const char* kNotice =
    "Dies ist ein automatisch erzeugter Beispieltext aus OpenStreetMap-Daten, kein Artikel der "
    "Wikipedia. Kartendaten © OpenStreetMap contributors, ODbL.";

struct Neighbour {
    const SampleArticle* article;
    double metres;
};

// The article of the county every sample lies in: a page of the online
// encyclopedia that the package does not hold.
constexpr const char* kCountyUrl =
    "https://de.wikipedia.org/wiki/Landkreis_Mecklenburgische_Seenplatte";

// How a body writes the addresses of its neighbours: as the store keeps
// them (percent-escaped) or as a person types them (plain UTF-8). Packages
// hold both, and the viewer finds the article either way.
enum class LinkSpelling { Stored, Typed };

// The body: notice, introduction with the county's link, facts from the
// tags (the web site a link), the picture (a file of the images folder) and
// the links to the neighbours.
std::string html(const SampleArticle& article, const std::string& imageFileName,
                 const std::vector<Neighbour>& neighbours, LinkSpelling spelling);

}  // namespace ArticleText
