#include <algorithm>

#include "CoreData/PredicateSQLCompiler.h"
#include "CoreDataFixture.h"

namespace {

struct Place {
    const char* name;  // nullptr: nil
    const char* canonicalName;
    double latitude, longitude;
    int typeID;
    std::optional<int> rank;
    bool flag;
    std::optional<double> timestamp;
    std::vector<std::pair<const char*, const char*>> tags;
    const char* city;
    std::vector<double> nodeLatitudes;
    bool building;
};

const std::vector<Place>& places() {
    static const std::vector<Place> list = {
        {"Café Zürich",
         "cafe zurich",
         47.37,
         8.54,
         1,
         10,
         true,
         100,
         {{"amenity", "cafe"}, {"cuisine", "coffee"}},
         "Zürich",
         {47.37, 47.38},
         false},
        {"Main Street",
         "main street",
         47.36,
         8.53,
         7,
         5,
         false,
         200,
         {{"highway", "primary"}},
         "Zürich",
         {47.36, 47.365, 47.37},
         false},
        {"main square",
         "main square",
         47.35,
         8.52,
         3,
         std::nullopt,
         false,
         std::nullopt,
         {},
         "Zürich",
         {},
         false},
        {"Ölmühle",
         "olmuhle",
         47.40,
         8.60,
         1,
         20,
         false,
         300,
         {{"amenity", "restaurant"}},
         "Bern",
         {47.40},
         false},
        {"Bus Stop 12th",
         "bus stop 12th",
         47.38,
         8.56,
         2,
         1,
         true,
         50,
         {{"pubtrans", "bus_stop"}, {"highway", "bus_stop"}},
         nullptr,
         {},
         false},
        {nullptr, nullptr, 0, 0, 0, std::nullopt, false, std::nullopt, {}, nullptr, {}, false},
        {"Tower", "tower", 47.39, 8.57, 4, 30, false, 400, {{"building", "yes"}}, "Bern", {}, true},
    };
    return list;
}

}  // namespace

// Every predicate form, answered by SQL in the store and in memory over the
// same objects: both must give the expected names.
class NSPredicateTest : public CoreDataTest {
  protected:
    void SetUp() override {
        CoreDataTest::SetUp();
        store_ = addStore("places.sqlite");
        auto context = newContext();
        std::map<std::string, std::shared_ptr<NSManagedObject>> cities;
        std::map<std::string, std::shared_ptr<NSManagedObject>> tags;
        for (const Place& place : places()) {
            auto object =
                context->insertNewObjectForEntityForName(place.building ? "building" : "object");
            if (place.name)
                object->setValueForKey("name", Value(place.name));
            if (place.canonicalName)
                object->setValueForKey("canonicalName", Value(place.canonicalName));
            object->setValueForKey("latitude", Value(place.latitude));
            object->setValueForKey("longitude", Value(place.longitude));
            object->setValueForKey("typeID", Value(place.typeID));
            if (place.rank)
                object->setValueForKey("rank", Value(*place.rank));
            object->setValueForKey("flag", Value(place.flag));
            if (place.timestamp) {
                object->setValueForKey(
                    "timestamp",
                    Value(NSDate::dateWithTimeIntervalSinceReferenceDate(*place.timestamp)));
            }
            if (place.building)
                object->setValueForKey("levels", Value(30));
            for (const auto& [key, attribute] : place.tags) {
                auto& tag = tags[std::string(key) + "=" + attribute];
                if (!tag) {
                    tag = context->insertNewObjectForEntityForName("tag");
                    tag->setValueForKey("key", Value(key));
                    tag->setValueForKey("attribute", Value(attribute));
                }
                object->addObjectForKey("tags", tag);
            }
            if (place.city) {
                auto& city = cities[place.city];
                if (!city) {
                    city = context->insertNewObjectForEntityForName("city");
                    city->setValueForKey("name", Value(place.city));
                }
                object->setObjectForKey("city", city);
            }
            for (double latitude : place.nodeLatitudes) {
                auto node = context->insertNewObjectForEntityForName("node");
                node->setValueForKey("latitude", Value(latitude));
                node->setObjectForKey("object", object);
            }
        }
        ASSERT_TRUE(context->save());
        context_ = newContext();
        auto all = context_->executeFetchRequest(NSFetchRequest("object"));
        ASSERT_TRUE(all && all->size() == places().size());
        all_ = *all;
    }

    std::shared_ptr<NSManagedObject> named(const std::string& entity, const std::string& key,
                                           const std::string& value) {
        NSFetchRequest request(entity);
        request.predicate = NSPredicate::predicateWithFormat("%K = %@", {key, value});
        auto found = context_->executeFetchRequest(request);
        return found && found->size() == 1 ? found->front() : nullptr;
    }

    std::vector<std::string> sortedNames(
        const std::vector<std::shared_ptr<NSManagedObject>>& objects) {
        std::vector<std::string> result = names(objects);
        std::sort(result.begin(), result.end());
        return result;
    }

    std::shared_ptr<NSPersistentStore> store_;
    std::shared_ptr<NSManagedObjectContext> context_;
    std::vector<std::shared_ptr<NSManagedObject>> all_;
};

TEST_F(NSPredicateTest, SQLAndMemoryAgreeOnEveryForm) {
    auto cafeTag = named("tag", "attribute", "cafe");
    auto primaryTag = named("tag", "attribute", "primary");
    auto bern = named("city", "name", "Bern");
    auto cafe = named("object", "name", "Café Zürich");
    auto tower = named("object", "name", "Tower");
    auto mainStreet = named("object", "name", "Main Street");
    ASSERT_TRUE(cafeTag && primaryTag && bern && cafe && tower && mainStreet);
    const std::string nil = "<nil>", bus = "Bus Stop 12th", cafeName = "Café Zürich",
                      main = "Main Street", square = "main square", olm = "Ölmühle",
                      towerName = "Tower";
    const std::vector<std::string> everyone = {nil, bus, cafeName, main, towerName, square, olm};

    const struct {
        std::string format;
        std::vector<NSPredicateArgument> arguments;
        bool compilesToSQL;
        std::vector<std::string> expected;
    } cases[] = {
        {"name = 'Main Street'", {}, true, {main}},
        {"name ==[c] 'MAIN STREET'", {}, true, {main}},
        {"name != 'Main Street'", {}, true, {nil, bus, cafeName, towerName, square, olm}},
        {"name = nil", {}, true, {nil}},
        {"name = nil OR name = ''", {}, true, {nil}},
        {"rank > 5", {}, true, {cafeName, towerName, olm}},
        {"rank <= 5", {}, true, {bus, main}},
        {"rank != 5", {}, true, {nil, bus, cafeName, towerName, square, olm}},
        {"rank BETWEEN {5, 10}", {}, true, {cafeName, main}},
        {"typeID IN {1, 2}", {}, true, {bus, cafeName, olm}},
        {"name IN[c] {'tower', 'MAIN SQUARE'}", {}, true, {towerName, square}},
        {"name IN %@", {Value(Value::Array{Value("Tower"), Value()})}, true, {towerName}},
        {"name BEGINSWITH 'Main'", {}, true, {main}},
        {"name BEGINSWITH[c] 'main'", {}, true, {main, square}},
        {"name ENDSWITH 'th'", {}, true, {bus}},
        {"name CONTAINS 'ü'", {}, true, {cafeName, olm}},
        {"name CONTAINS[cd] 'U'", {}, true, {bus, cafeName, square, olm}},
        {"name CONTAINS[d] 'Zu'", {}, true, {cafeName}},
        {"name LIKE 'M*t'", {}, true, {main}},
        {"name LIKE[c] 'm?in*'", {}, true, {main, square}},
        {"name MATCHES '.*[0-9]+th'", {}, true, {bus}},
        {"name MATCHES[c] 'main.*'", {}, true, {main, square}},
        {"name < 'C'", {}, true, {bus}},
        {"name >[c] 'n'", {}, true, {towerName, olm}},
        {"canonicalName CONTAINS %@", {"stre"}, true, {main}},
        {"NOT (typeID = 1)", {}, true, {nil, bus, main, towerName, square}},
        {"NOT (rank > 5)", {}, true, {nil, bus, main, square}},
        {"typeID = 1 OR rank = 5", {}, true, {cafeName, main, olm}},
        {"typeID == 1 && rank > 10 || typeID = 4", {}, true, {towerName, olm}},
        {"flag = YES", {}, true, {bus, cafeName}},
        {"flag == NO", {}, true, {nil, main, towerName, square, olm}},
        {"ANY tags.key = 'amenity'", {}, true, {cafeName, olm}},
        {"ANY tags.attribute IN %@",
         {Value(Value::Array{Value("cafe"), Value("restaurant")})},
         true,
         {cafeName, olm}},
        {"NOT(ANY tags.attribute IN %@)",
         {Value(Value::Array{Value("bus_stop"), Value("primary")})},
         true,
         {nil, cafeName, towerName, square, olm}},
        {"ALL tags.key = 'amenity'", {}, true, {nil, square, olm}},
        {"NONE tags.key = 'highway'", {}, true, {nil, cafeName, towerName, square, olm}},
        {"ANY tags.key BEGINSWITH[c] 'HIGH'", {}, true, {bus, main}},
        {"tags.key CONTAINS 'cuisine'", {}, true, {cafeName}},
        {"tags.@count = 2", {}, true, {bus, cafeName}},
        {"tags CONTAINS %@", {cafeTag}, true, {cafeName}},
        {"%@ IN tags", {primaryTag}, true, {main}},
        {"SUBQUERY(nodes, $n, $n.latitude > 47.375).@count != 0", {}, true, {cafeName, olm}},
        {"SUBQUERY(tags, $t, $t.key = 'highway' AND $t.attribute = 'bus_stop').@count > 0",
         {},
         true,
         {bus}},
        {"ANY nodes.latitude BETWEEN {47.365, 47.375}", {}, true, {cafeName, main}},
        {"city.name = 'Zürich'", {}, true, {cafeName, main, square}},
        {"city.name ==[cd] 'ZURICH'", {}, true, {cafeName, main, square}},
        {"city.name != 'Bern'", {}, true, {nil, bus, cafeName, main, square}},
        {"city = nil", {}, true, {nil, bus}},
        {"city = %@", {bern}, true, {towerName, olm}},
        {"city.objects.@count > 2", {}, true, {cafeName, main, square}},
        {"ANY city.objects.name = 'Tower'", {}, true, {towerName, olm}},
        {"self IN %@",
         {std::vector<NSManagedObjectID>{cafe->objectID(), tower->objectID()}},
         true,
         {cafeName, towerName}},
        {"SELF = %@", {mainStreet}, true, {main}},
        {"%K = %d", {"typeID", 7}, true, {main}},
        {"typeID = %ld OR typeID = %u", {7, 3}, true, {main, square}},
        {"latitude >= %f", {47.375}, true, {bus, towerName, olm}},
        {"timestamp > %@",
         {Value(NSDate::dateWithTimeIntervalSinceReferenceDate(150))},
         true,
         {main, towerName, olm}},
        {"timestamp = nil", {}, true, {nil, square}},
        {"TRUEPREDICATE", {}, true, everyone},
        {"FALSEPREDICATE", {}, true, {}},
        // Keys without a column are answered in memory.
        {"isHighway = YES", {}, false, {main}},
        {"isHighway = NO AND rank > 5", {}, false, {cafeName, towerName, olm}},
        {"levels > 10", {}, false, {towerName}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.format);
        auto predicate = NSPredicate::predicateWithFormat(test.format, test.arguments);
        ASSERT_NE(predicate, nullptr);
        std::vector<std::string> expected = test.expected;
        std::sort(expected.begin(), expected.end());

        std::string sql;
        std::vector<Value> bindings;
        EXPECT_EQ(PredicateSQLCompiler(store_.get(), model_->entityNamed("object"))
                      .compile(*predicate->root(), &sql, &bindings),
                  test.compilesToSQL)
            << sql;

        NSFetchRequest request("object");
        request.predicate = predicate;
        auto fetched = context_->executeFetchRequest(request);
        ASSERT_TRUE(fetched);
        EXPECT_EQ(sortedNames(*fetched), expected) << "SQL";
        EXPECT_EQ(sortedNames(NSPredicateFilteredObjects(all_, *predicate)), expected) << "memory";
        EXPECT_EQ(context_->countForFetchRequest(request), expected.size());
    }
}

TEST_F(NSPredicateTest, MalformedFormatsGiveNil) {
    for (const char* format : {"", "name =", "name = 'open", "(name = 'a'", "name ~ 'a'",
                               "SUBQUERY(tags, $t, $t.key = 'a')", "name BETWEEN 3", "name = %@",
                               "name = %K", "a = 1 AND", "%"}) {
        EXPECT_EQ(NSPredicate::predicateWithFormat(format), nullptr) << format;
    }
    EXPECT_EQ(NSPredicate::predicateWithFormat("name = 'a'", {"extra"}), nullptr);
    std::string deep(1000, '(');
    EXPECT_EQ(NSPredicate::predicateWithFormat(deep + "a = 1" + std::string(1000, ')')), nullptr);
}

TEST_F(NSPredicateTest, EvaluatesOverStringsAndDictionaries) {
    auto begins = NSPredicate::predicateWithFormat("self BEGINSWITH[cd] %@", {"zur"});
    EXPECT_TRUE(begins->evaluateWithObject(Value("Zürichberg")));
    EXPECT_FALSE(begins->evaluateWithObject(Value("Bern")));
    EXPECT_FALSE(begins->evaluateWithObject(Value()));

    Value dictionary(
        Value::Dictionary{{"name", Value("Lake")},
                          {"area", Value(Value::Dictionary{{"size", Value(12.5)}})},
                          {"tags", Value(Value::Array{Value("water"), Value("park")})}});
    EXPECT_TRUE(NSPredicate::predicateWithFormat("area.size > 12 AND name LIKE 'L*'")
                    ->evaluateWithObject(dictionary));
    EXPECT_TRUE(
        NSPredicate::predicateWithFormat("ANY tags = 'park'")->evaluateWithObject(dictionary));
    EXPECT_TRUE(
        NSPredicate::predicateWithFormat("tags.@count == 2")->evaluateWithObject(dictionary));
    EXPECT_FALSE(
        NSPredicate::predicateWithFormat("missing.key = 1")->evaluateWithObject(dictionary));
}

TEST_F(NSPredicateTest, TemplatesSubstituteVariables) {
    auto request = model_->fetchRequestFromTemplateWithNameSubstitutionVariables(
        "objectsInBBox", {{"SWLatitude", Value(47.365)},
                          {"NELatitude", Value(47.385)},
                          {"SWLongitude", Value(8.0)},
                          {"NELongitude", Value(9.0)}});
    ASSERT_NE(request, nullptr);
    auto found = context_->executeFetchRequest(*request);
    ASSERT_TRUE(found);
    EXPECT_EQ(sortedNames(*found), (std::vector<std::string>{"Bus Stop 12th", "Café Zürich"}));
    // The template itself keeps its variables.
    EXPECT_NE(model_->fetchRequestTemplateForName("objectsInBBox")
                  ->predicate->predicateFormat()
                  .find("$SWLatitude"),
              std::string::npos);
    auto recent = model_->fetchRequestFromTemplateWithNameSubstitutionVariables(
        "recentObjects", {{"DATE", Value(NSDate::dateWithTimeIntervalSinceReferenceDate(250))}});
    EXPECT_EQ(sortedNames(*context_->executeFetchRequest(*recent)),
              (std::vector<std::string>{"Tower", "Ölmühle"}));
    EXPECT_EQ(model_->fetchRequestTemplateForName("nope"), nullptr);
}

TEST_F(NSPredicateTest, SortsAgreeBetweenSQLAndMemory) {
    for (auto comparison :
         {NSSortDescriptor::Comparison::Compare, NSSortDescriptor::Comparison::CaseInsensitive,
          NSSortDescriptor::Comparison::LocalizedCaseInsensitive}) {
        NSFetchRequest request("object");
        request.sortDescriptors = {
            NSSortDescriptor::sortDescriptorWithKey("name", true, comparison),
            NSSortDescriptor::sortDescriptorWithKey("typeID", false)};
        auto sqlSorted = context_->executeFetchRequest(request);
        // A derived key forces the whole sort into memory.
        request.sortDescriptors.push_back(
            NSSortDescriptor::sortDescriptorWithKey("isHighway", true));
        auto memorySorted = context_->executeFetchRequest(request);
        ASSERT_TRUE(sqlSorted && memorySorted);
        EXPECT_EQ(names(*sqlSorted), names(*memorySorted));
    }
    NSFetchRequest request("object");
    request.sortDescriptors = {NSSortDescriptor::sortDescriptorWithKey(
        "name", true, NSSortDescriptor::Comparison::LocalizedCaseInsensitive)};
    EXPECT_EQ(names(*context_->executeFetchRequest(request)),
              (std::vector<std::string>{"<nil>", "Bus Stop 12th", "Café Zürich", "main square",
                                        "Main Street", "Ölmühle", "Tower"}));
}
