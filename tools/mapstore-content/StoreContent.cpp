#include "StoreContent.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "CatalogueWriter.h"
#include "ContinentPictures.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreLocation/CLLocation.h"
#include "CoverRenderer.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "GazetteerWriter.h"
#include "PackageArchive.h"
#include "PackageFacts.h"
#include "WorldOutlines.h"
#include "packages/CBMapStoreCatalogue.h"

namespace fs = std::filesystem;

namespace {

struct Sample {
    const char* identifier;
    const char* countryCode;
    const char* numericCountryCode;  // ISO 3166 numeric, the atlas's key
    std::optional<std::string> regionCode;
    int priority;
    const char* centrePlace;  // the cover shows the map around it (empty: the data's middle)
    int coverZoom;
};

const Sample kSamples[] = {
    {"neubrandenburg", "DE", "276", "DE-MV", 20, "Neubrandenburg", 13},
    {"liechtenstein", "LI", "438", std::nullopt, 10, "Vaduz", 14},
    {"three-rivers", "US", "840", "US-MI", 5, "", 15},
};

const CatalogueWriter::Region kRegions[] = {
    {"DE-MV", "Mecklenburg-Vorpommern", "DE", std::nullopt},
    {"US-MI", "Michigan", "US", std::string("US")},
};

const char* const kAttribution = "© OpenStreetMap contributors";

// The notice texts, one per language: sample text, labelled as such.
struct Notice {
    const char* language;
    const char* title;
    const char* message;
    const char* page;
};
const Notice kNotices[] = {
    {"en", "Sample notice",
     "Sample text: this notice comes from the local map store server. It is shown once per "
     "notice version.",
     "<html><body><h1>Sample notice</h1><p>Sample text of the local map store server. Map data "
     "© OpenStreetMap contributors, ODbL 1.0.</p></body></html>\n"},
    {"de", "Beispielhinweis",
     "Beispieltext: Dieser Hinweis kommt vom lokalen Kartenserver. Er erscheint einmal je "
     "Hinweisversion.",
     "<html><body><h1>Beispielhinweis</h1><p>Beispieltext des lokalen Kartenservers. Kartendaten "
     "© OpenStreetMap-Mitwirkende, ODbL 1.0.</p></body></html>\n"},
};
constexpr int kNoticeVersion = 1;

bool writeText(const fs::path& path, const std::string& text, std::string* error) {
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out.flush()) {
        *error = "cannot write " + path.string();
        return false;
    }
    return true;
}

bool writePlist(const fs::path& path, const Value& plist,
                NSPropertyListSerialization::Format format, std::string* error) {
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    if (!NSPropertyListSerialization::writePropertyListToFile(plist, path.string(), format)) {
        *error = "cannot write " + path.string();
        return false;
    }
    return true;
}

std::string countryName(const std::string& code, const char* language) {
    icu::UnicodeString name;
    icu::Locale("", code.c_str()).getDisplayCountry(icu::Locale(language), name);
    std::string text;
    name.toUTF8String(text);
    return text;
}

std::string escapedForStrings(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '"' || c == '\\')
            escaped.push_back('\\');
        escaped.push_back(c);
    }
    return escaped;
}

// The package's date: when its zip was made.
NSDate packageDate(const fs::path& zip) {
    struct stat status {};
    if (::stat(zip.c_str(), &status) != 0)
        return NSDate::date();
    return NSDate::dateWithTimeIntervalSince1970(double(status.st_mtime));
}

}  // namespace

bool StoreContent::build(const StoreContentRequest& request, std::string* error) {
    std::string reason;
    auto world = WorldOutlines::read(request.worldAtlas, error);
    if (!world)
        return false;
    auto model = NSManagedObjectModel::modelWithContentsOfFile(request.catalogueModel);
    if (!model) {
        *error = "cannot read the catalogue model " + request.catalogueModel;
        return false;
    }
    const fs::path root(request.rootDirectory);
    const fs::path building = root.parent_path() / ("." + root.filename().string() + ".building-" +
                                                    std::to_string(getpid()));
    std::error_code ignored;
    fs::remove_all(building, ignored);
    fs::create_directories(building, ignored);
    auto fail = [&](const std::string& text) {
        *error = text;
        fs::remove_all(building, ignored);
        return false;
    };

    CatalogueWriter::Catalogue catalogue;
    catalogue.groups = {{"europe", "Europe"}, {"US", "USA"}};
    catalogue.regions.assign(std::begin(kRegions), std::end(kRegions));
    std::map<std::string, Value::Dictionary> statistics;  // code -> map id -> info
    std::vector<GazetteerPlace> gazetteer;
    for (const auto& country : world->countries()) {
        const CLLocationCoordinate2D centre{(country.box.north + country.box.south) / 2,
                                            (country.box.east + country.box.west) / 2};
        // Half the box's diagonal: the whole mainland lies within.
        const double radius =
            CLLocation(country.box.north, country.box.west)
                .distanceFromLocation(CLLocation(country.box.south, country.box.east)) /
            2;
        gazetteer.push_back({country.name, centre, radius});
    }
    for (const Sample& sample : kSamples) {
        const fs::path packages(request.packagesDirectory);
        const fs::path store =
            packages / sample.identifier / (std::string(sample.identifier) + ".sqlite");
        const fs::path zip = packages / (std::string(sample.identifier) + ".zip");
        PackageFacts facts;
        if (!PackageFacts::read(store.string(), request.geoModel, request.typeTable,
                                sample.centrePlace, &facts, &reason))
            return fail(reason);
        if (!fs::is_regular_file(zip))
            return fail("the package " + zip.string() + " is missing");

        bool knownCountry = false;
        for (const auto& country : catalogue.countries)
            knownCountry |= country.code == sample.countryCode;
        if (!knownCountry) {
            auto outline = world->countryWithNumericCode(sample.numericCountryCode);
            if (!outline)
                return fail(std::string("the atlas has no country ") + sample.countryCode);
            std::optional<std::string> group;
            if (std::string(sample.countryCode) != "US")
                group = "europe";
            catalogue.countries.push_back({sample.countryCode, outline->name, outline->box, group});
        }

        gazetteer.insert(gazetteer.end(), facts.namedPlaces.begin(), facts.namedPlaces.end());

        CatalogueWriter::Map map;
        map.identifier = sample.identifier;
        map.name = facts.names.count("en") ? facts.names["en"] : sample.identifier;
        map.titles = facts.names;
        map.places = facts.places;
        map.priority = sample.priority;
        map.box = facts.box;
        map.shape = facts.outline;
        map.countryCode = sample.countryCode;
        map.regionCode = sample.regionCode;
        catalogue.maps.push_back(map);

        const std::string code = sample.regionCode.value_or(sample.countryCode);
        const fs::path packageTarget = building / "map" / code / zip.filename();
        fs::create_directories(packageTarget.parent_path(), ignored);
        std::error_code copyError;
        fs::copy_file(zip, packageTarget, copyError);
        if (copyError)
            return fail("cannot copy " + zip.string() + ": " + copyError.message());

        const std::string coverPath = "mapCovers/" + code + "/" + sample.identifier + ".jpg";
        fs::create_directories((building / coverPath).parent_path(), ignored);
        if (!CoverRenderer::renderCover(store.string(), facts.centre, sample.coverZoom, map.name,
                                        (building / coverPath).string(), &reason))
            return fail(reason);

        Value::Dictionary info{
            {"availableVersion", Value(packageDate(zip))},
            {"fileSize", Value(int64_t(fs::file_size(zip)))},
            {"numPOI", Value(facts.pointsOfInterest)},
            {"numShop", Value(facts.shops)},
            {"numRestaurant", Value(facts.restaurants)},
            {"numPub", Value(facts.pubs)},
            {"coverAttribution", Value(kAttribution)},
            {"coverSource", Value(coverPath)},
            {"wiki", Value(Value::Dictionary{})},
        };
        statistics[code][sample.identifier] = Value(info);
        if (code != sample.countryCode)
            statistics[sample.countryCode][sample.identifier] = Value(info);
    }
    for (const auto& [code, maps] : statistics) {
        if (!writePlist(building / "map" / (code + "_master_Stats.plist"),
                        Value(Value::Dictionary{{"maps", Value(maps)}}),
                        NSPropertyListSerialization::Format::XML, error))
            return fail(*error);
    }

    const fs::path catalogueFile = building / "mapStore.sqlite";
    if (!CatalogueWriter::writeCatalogue(catalogue, catalogueFile.string(), model, &reason))
        return fail(reason);
    if (!CBMapStoreCatalogue::validateCatalogueAtPath(catalogueFile.string(), model, &reason))
        return fail("the catalogue does not validate: " + reason);
    if (!PackageArchive::zipFiles({{catalogueFile.string(), "mapStore.sqlite"}},
                                  (building / "mapStore.zip").string(), &reason))
        return fail(reason);

    for (const Notice& notice : kNotices) {
        const std::string page = std::string("notice.") + notice.language + ".html";
        Value plist(Value::Dictionary{{"version", Value(kNoticeVersion)},
                                      {"title", Value(notice.title)},
                                      {"message", Value(notice.message)},
                                      {"link", Value("serverNotification/" + page)}});
        if (!writePlist(building / "serverNotification" /
                            (std::string("serverNotification.") + notice.language + ".bin"),
                        plist, NSPropertyListSerialization::Format::Binary, error) ||
            !writeText(building / "serverNotification" / page, notice.page, error))
            return fail(*error);
    }

    // The bundle's copy of the catalogue and the country names.
    const fs::path resources(request.resourcesDirectory);
    fs::create_directories(resources, ignored);
    std::error_code copyError;
    fs::copy_file(catalogueFile, resources / "mapStore.sqlite",
                  fs::copy_options::overwrite_existing, copyError);
    if (copyError)
        return fail("cannot copy the catalogue into " + resources.string());
    for (const char* language : {"en", "de"}) {
        std::string table = "/* Country names by ISO 3166 code, from ICU. */\n";
        for (const auto& country : catalogue.countries)
            table += "\"" + country.code + "\" = \"" +
                     escapedForStrings(countryName(country.code, language)) + "\";\n";
        if (!writeText(resources / (std::string(language) + ".lproj") / "countrycodes.strings",
                       table, error))
            return fail(*error);
    }
    if (!writeText(resources / "gazetteer.tsv", GazetteerWriter::text(gazetteer), error))
        return fail(*error);
    for (const auto& group : catalogue.groups)
        if (!ContinentPictures::writePictures(*world, group.code, resources.string(), error))
            return fail(*error);
    fs::remove(catalogueFile, ignored);

    fs::remove_all(root, ignored);
    fs::rename(building, root, copyError);
    if (copyError)
        return fail("cannot move the content to " + root.string() + ": " + copyError.message());
    return true;
}
