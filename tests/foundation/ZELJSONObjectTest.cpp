#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "Foundation/NSJSONSerialization.h"
#include "Foundation/NSLog.h"
#include "foundation/NSDictionary+types.h"
#include "foundation/NSJSONSerialization+objectsFromURL.h"
#include "foundation/ZELJSONObject.h"

namespace {
using D = ZELJSONObjectDescriptor;
using AD = ZELJSONObjectArrayDescriptor;

// Shaped like the guide's article: optional coordinates with default -1,
// required title and url with the empty-string default, an optional type.
class Article : public ZELJSONObject {
  public:
    Descriptors jsonDescriptors() const override {
        return {
            {"latitude", D::descriptorForNumberWithDefaultWithJsonKey("latitude", true)},
            {"distance", D::descriptorForNumberWithDefaultWithJsonKey("distanceAlongWalk", true)},
            {"title", D::descriptorForStringWithDefaultWithJsonKey("title")},
            {"url", D::descriptorForStringWithDefaultWithJsonKey("url")},
            {"type", D::descriptorForStringWithDefaultWithJsonKey("type", true)}};
    }
    std::string className() const override { return "Article"; }
    void jsonDidLoad() override { ++loads; }

    std::optional<double> latitude() const { return numberForProperty("latitude"); }
    std::optional<double> distance() const { return numberForProperty("distance"); }
    std::optional<std::string> title() const { return stringForProperty("title"); }
    std::optional<std::string> url() const { return stringForProperty("url"); }
    std::optional<std::string> type() const { return stringForProperty("type"); }
    int loads = 0;
};

class Path : public ZELJSONObject {
  public:
    Descriptors jsonDescriptors() const override {
        return {{"segments", AD::descriptorWithJsonKeyMemberValidationClassAndMemberDefaultValue(
                                 "segments", ZELJSONClass::array(), std::nullopt)}};
    }
    std::string className() const override { return "Path"; }
};

// Shaped like the guide's group: everything optional.
class Group : public ZELJSONObject {
  public:
    Descriptors jsonDescriptors() const override {
        return {{"groups", AD::descriptorWithJsonKeyMemberValidationClassAndMemberDefaultValue(
                               "groups", ZELJSONClass::model<Group>("Group"), std::nullopt, true)},
                {"articles",
                 AD::descriptorWithJsonKeyMemberValidationClassAndMemberDefaultValue(
                     "articles", ZELJSONClass::model<Article>("Article"), std::nullopt, true)},
                {"title", D::descriptorForStringWithDefaultWithJsonKey("title", true)},
                {"path", D::descriptorWithJsonKeyValidationClassAndDefaultValue(
                             "path", ZELJSONClass::model<Path>("Path"), std::nullopt, true)}};
    }
    std::string className() const override { return "Group"; }

    std::vector<std::shared_ptr<Group>> groups() const {
        return objectsForProperty<Group>("groups");
    }
    std::vector<std::shared_ptr<Article>> articles() const {
        return objectsForProperty<Article>("articles");
    }
    std::optional<std::string> title() const { return stringForProperty("title"); }
    std::shared_ptr<Path> path() const { return objectForProperty<Path>("path"); }
};

class Tags : public ZELJSONObject {
  public:
    Descriptors jsonDescriptors() const override {
        return {{"tags", AD::descriptorForArrayWithStringWithDefaultWithJsonKey("tags")}};
    }
    std::vector<std::string> tags() const { return stringsForProperty("tags"); }
};

Value json(const std::string& text) {
    return *NSJSONSerialization::JSONObjectWithString(text);
}

std::shared_ptr<Article> article(const std::string& text) {
    const Value value = json(text);
    return ZELJSONObject::createWithJson<Article>(&value);
}

std::shared_ptr<Group> group(const std::string& text) {
    const Value value = json(text);
    return ZELJSONObject::createWithJson<Group>(&value);
}

Value::Data bytes(const std::string& text) {
    return Value::Data(text.begin(), text.end());
}
}  // namespace

TEST(ZELJSONObjectTest, RequiredKeysMissingNullOrMistypedFailTheObject) {
    const auto good = article(R"({"title":"Dom","url":"u","latitude":53.5,"type":"church"})");
    ASSERT_TRUE(good);
    EXPECT_EQ(good->title(), "Dom");
    EXPECT_EQ(good->latitude(), 53.5);
    EXPECT_EQ(good->loads, 1);
    EXPECT_FALSE(good->distance());  // optional and missing

    EXPECT_FALSE(article(R"({"url":"u"})"));               // title missing
    EXPECT_FALSE(article(R"({"title":null,"url":"u"})"));  // title null
    EXPECT_FALSE(article(R"({"title":7,"url":"u"})"));     // a number is no string
    EXPECT_FALSE(article(R"({"title":{"a":1},"url":"u"})"));

    // The same under optional descriptors leaves nil and a valid object.
    const auto lax = article(R"({"title":"t","url":"u","type":null,"latitude":"53.5"})");
    ASSERT_TRUE(lax);
    EXPECT_FALSE(lax->type());
    EXPECT_FALSE(lax->latitude());  // no conversion from a string
    const auto mistyped = article(R"({"title":"t","url":"u","type":42})");
    ASSERT_TRUE(mistyped);
    EXPECT_FALSE(mistyped->type());
}

TEST(ZELJSONObjectTest, DefaultValuesReadAsNilAndAreWrittenBack) {
    const auto a = article(R"({"title":"","url":"u","latitude":-1,"distanceAlongWalk":-1.0})");
    ASSERT_TRUE(a);
    EXPECT_FALSE(a->title());
    EXPECT_FALSE(a->latitude());
    EXPECT_FALSE(a->distance());  // -1.0 equals the default -1
    const Value proxy = a->proxyForJson();
    EXPECT_EQ(*proxy.get("title"), Value(""));
    EXPECT_EQ(*proxy.get("url"), Value("u"));
    EXPECT_EQ(*proxy.get("latitude"), Value(-1));
    EXPECT_EQ(proxy.get("distanceAlongWalk")->integerValue(), -1);
    // Booleans are numbers.
    EXPECT_EQ(article(R"({"title":"t","url":"u","latitude":true})")->latitude(), 1.0);
}

TEST(ZELJSONObjectTest, NilInputAndNonDictionaries) {
    EXPECT_FALSE(ZELJSONObject::createWithJson<Article>(nullptr));  // required keys
    const auto empty = ZELJSONObject::createWithJson<Group>(nullptr);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->groups().empty());
    EXPECT_FALSE(empty->title());
    const Value array = json("[1,2]");
    EXPECT_FALSE(ZELJSONObject::createWithJson<Group>(&array));
    // A top-level array given as data counts as nil: an all-optional model fills.
    EXPECT_TRUE(ZELJSONObject::createWithJsonData<Group>(bytes("[{\"title\":\"x\"}]")));
    EXPECT_FALSE(ZELJSONObject::createWithJsonData<Article>(bytes("[]")));
    EXPECT_FALSE(ZELJSONObject::createWithJsonData<Article>(bytes("{\"title\":")));
    const auto fromData =
        ZELJSONObject::createWithJsonData<Article>(bytes(R"({"title":"T","url":"U"})"));
    ASSERT_TRUE(fromData);
    EXPECT_EQ(fromData->url(), "U");
    // A model without descriptors fills from anything that is a dictionary or
    // nil.
    EXPECT_TRUE(ZELJSONObject::createWithJson<ZELJSONObject>(nullptr));
}

TEST(ZELJSONObjectTest, NestedObjectsAndArraysOfModels) {
    const auto g = group(R"({"title":"Old town","path":{"segments":[[1,2],[3,4]]},
        "groups":[{"title":"Inner"},{"articles":[]}],
        "articles":[{"title":"A","url":"a"},{"title":"B","url":"b"}]})");
    ASSERT_TRUE(g);
    ASSERT_EQ(g->articles().size(), 2u);
    EXPECT_EQ(g->articles()[0]->title(), "A");
    EXPECT_EQ(g->articles()[1]->title(), "B");
    ASSERT_EQ(g->groups().size(), 2u);
    EXPECT_EQ(g->groups()[0]->title(), "Inner");
    ASSERT_TRUE(g->groups()[1]->valueForProperty("articles").array());
    EXPECT_TRUE(g->groups()[1]->valueForProperty("articles").array()->empty());  // not nil
    ASSERT_TRUE(g->path());

    // One failing member fails the array: nil under the optional descriptor.
    const auto broken = group(R"({"title":"x","articles":[{"title":"A","url":"a"},{"url":"b"}]})");
    ASSERT_TRUE(broken);
    EXPECT_TRUE(broken->valueForProperty("articles").isNil());
    EXPECT_EQ(broken->title(), "x");
    // A member of the wrong kind too.
    EXPECT_TRUE(group(R"({"articles":[{"title":"A","url":"a"}, 5]})")
                    ->valueForProperty("articles")
                    .isNil());
    // A failing nested object is logged and nil when optional.
    std::vector<std::string> logged;
    auto previous =
        NSLogSetSink([&](NSLogLevel, const std::string& line) { logged.push_back(line); });
    const auto badPath = group(R"({"path":{"segments":"none"}})");
    NSLogSetSink(previous);
    ASSERT_TRUE(badPath);
    EXPECT_FALSE(badPath->path());
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("failed to init class: Path"), std::string::npos);
    // A required array that fails, and a required key under an array descriptor
    // missing.
    const Value noSegments = json(R"({"segments":[1]})");
    EXPECT_FALSE(ZELJSONObject::createWithJson<Path>(&noSegments));
    const Value emptyPath = json("{}");
    EXPECT_FALSE(ZELJSONObject::createWithJson<Path>(&emptyPath));
}

TEST(ZELJSONObjectTest, IgnoringInvalidMembers) {
    class Lenient : public ZELJSONObject {
      public:
        Descriptors jsonDescriptors() const override {
            auto d = AD::descriptorWithJsonKeyMemberValidationClassAndMemberDefaultValue(
                "articles", ZELJSONClass::model<Article>("Article"), std::nullopt);
            d->setIgnoreInvalidMembers(true);
            return {{"articles", d}};
        }
    };
    const Value value = json(R"({"articles":[7,{"url":"x"},{"title":"ok","url":"y"}]})");
    const auto lenient = ZELJSONObject::createWithJson<Lenient>(&value);
    ASSERT_TRUE(lenient);
    const auto* members = lenient->valueForProperty("articles").array();
    ASSERT_TRUE(members);
    ASSERT_EQ(members->size(), 1u);
}

TEST(ZELJSONObjectTest, WritingBackAndRepresentations) {
    const auto g = group(R"({"title":"T","articles":[{"title":"A","url":"a","latitude":1.5}],
                             "path":{"segments":[]}})");
    ASSERT_TRUE(g);
    const Value proxy = g->proxyForJson();
    EXPECT_EQ(*proxy.get("title"), Value("T"));
    ASSERT_TRUE(proxy.get("articles") && proxy.get("articles")->at(0));
    EXPECT_EQ(*proxy.get("articles")->at(0)->get("url"), Value("a"));
    EXPECT_EQ(*proxy.get("articles")->at(0)->get("type"),
              Value(""));                         // default written
    EXPECT_EQ(proxy.get("groups")->count(), 0u);  // nil array: the empty default
    // Round trip through JSON text.
    const auto again = ZELJSONObject::createWithJson<Group>(&proxy);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->articles()[0]->latitude(), 1.5);

    const Value withNulls = g->recusriveDictRepresentationIncludingNULLValues(true);
    EXPECT_TRUE(withNulls.get("groups")->isNull());
    EXPECT_EQ(*withNulls.get("articles")->at(0)->get("title"), Value("A"));
    EXPECT_TRUE(withNulls.get("articles")->at(0)->get("type")->isNull());
    const Value withoutNulls = g->recusriveDictRepresentationIncludingNULLValues(false);
    EXPECT_FALSE(withoutNulls.get("groups"));
    EXPECT_FALSE(withoutNulls.get("articles")->at(0)->get("type"));

    const auto dict = g->dictRepresentation();
    ASSERT_EQ(dict.size(), 4u);
    EXPECT_TRUE(dict.at("groups").value() && dict.at("groups").value()->isNull());

    const auto a1 = article(R"({"title":"A","url":"a","latitude":2})");
    const auto a2 = article(R"({"title":"A","url":"a","latitude":2.0})");
    const auto a3 = article(R"({"title":"A","url":"b"})");
    EXPECT_TRUE(a1->isEqualToJSONObjectWrapper(a2.get()));
    EXPECT_FALSE(a1->isEqualToJSONObjectWrapper(a3.get()));
    EXPECT_FALSE(a1->isEqualToJSONObjectWrapper(nullptr));
    EXPECT_EQ(a3->description(),
              "<Article>\rdistance : '<null>'\rlatitude : "
              "'<null>'\rtitle : 'A'\rtype : "
              "'<null>'\rurl : 'b'");
}

TEST(ZELJSONObjectTest, StringArraysAndDescriptorDefaults) {
    const Value value = json(R"({"tags":["a","",  "c"]})");
    const auto tags = ZELJSONObject::createWithJson<Tags>(&value);
    ASSERT_TRUE(tags);
    EXPECT_EQ(tags->tags(), (std::vector<std::string>{"a", "", "c"}));
    const Value mixed = json(R"({"tags":["a",1]})");
    EXPECT_FALSE(ZELJSONObject::createWithJson<Tags>(&mixed));

    const auto plain = D::descriptorForStringWithJsonKey("k");
    EXPECT_FALSE(plain->defaultValue());
    EXPECT_FALSE(plain->isOptional());
    EXPECT_EQ(*D::descriptorForNumberWithDefaultWithJsonKey("n")->defaultValue(), Value(-1));
    const auto strings = AD::descriptorForArrayWithStringWithDefaultWithJsonKey("s");
    EXPECT_EQ(strings->validationClass().kind(), ZELJSONClass::Kind::Array);
    EXPECT_EQ(*strings->defaultValue(), Value(Value::Array{}));
    EXPECT_EQ(*strings->memberDefaultValue(), Value(""));
}

TEST(NSJSONSerializationObjectsFromURLTest, KindChecksAndFiles) {
    const auto array = bytes("[1]");
    const auto dict = bytes("{\"a\":1}");
    EXPECT_FALSE(jsonDictionaryWithData(&array));
    EXPECT_TRUE(jsonArrayWithData(&array));
    EXPECT_TRUE(jsonDictionaryWithData(&dict));
    EXPECT_FALSE(jsonDictionaryWithData(nullptr));
    NSError error;
    const auto broken = bytes("{\"a\":");
    EXPECT_FALSE(jsonDictionaryWithData(&broken, &error));
    EXPECT_EQ(error.code, 3840);
    NSError untouched;
    EXPECT_FALSE(jsonDictionaryWithData(&array, &untouched));  // a wrong kind sets no error
    EXPECT_EQ(untouched.code, 0);

    const auto dir =
        std::filesystem::temp_directory_path() / ("zeljson-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "a.json").string();
    std::ofstream(path) << "{\"k\":[1,2]}";
    const std::string url = "file://" + path;
    EXPECT_TRUE(jsonDictionaryWithContentsOfURL(&path));
    EXPECT_TRUE(jsonDictionaryWithContentsOfURL(&url));
    EXPECT_FALSE(jsonArrayWithContentsOfURL(&url));
    EXPECT_FALSE(jsonDictionaryWithContentsOfURL(nullptr));
    const std::string missing = (dir / "missing.json").string();
    NSError readError;
    EXPECT_FALSE(jsonDictionaryWithContentsOfURL(&missing, &readError));
    EXPECT_NE(readError.code, 0);
    std::filesystem::remove_all(dir);
}

TEST(ZELJSONObjectTest, NamedOptionalAndErrorFormsReachTheDefaultArgumentForms) {
    EXPECT_TRUE(D::descriptorForStringWithJsonKeyIsOptional("k", true)->isOptional());
    const auto number = D::descriptorForNumberWithDefaultWithJsonKeyIsOptional("n", true);
    EXPECT_TRUE(number->isOptional());
    EXPECT_EQ(*number->defaultValue(), Value(-1));
    const auto members =
        AD::descriptorWithJsonKeyMemberValidationClassAndMemberDefaultValueIsOptional(
            "m", ZELJSONClass::string(), Value("x"), true);
    EXPECT_TRUE(members->isOptional());
    EXPECT_EQ(*members->memberDefaultValue(), Value("x"));

    const auto dict = bytes("{\"a\":1}");
    EXPECT_EQ(jsonDictionaryWithDataError(&dict, nullptr), jsonDictionaryWithData(&dict));
    NSError error;
    const auto broken = bytes("[1");
    EXPECT_FALSE(jsonArrayWithDataError(&broken, &error));
    EXPECT_EQ(error.code, 3840);
}

TEST(NSDictionaryTypesTest, TypedLookupsAnswerNilForOtherKinds) {
    const Value value = json(R"({"n":1,"b":true,"s":"x","a":[1],"d":{"k":2}})");
    const auto& d = *value.dictionaryValue();
    EXPECT_TRUE(numberForKey(d, "n"));
    EXPECT_TRUE(numberForKey(d, "b"));
    EXPECT_FALSE(numberForKey(d, "s"));
    EXPECT_EQ(*stringForKey(d, "s"), "x");
    EXPECT_FALSE(stringForKey(d, "n"));
    EXPECT_FALSE(stringForKey(d, "missing"));
    EXPECT_EQ(arrayForKey(d, "a")->size(), 1u);
    EXPECT_FALSE(arrayForKey(d, "d"));
    auto copy = mutableArrayForKey(d, "a");
    ASSERT_TRUE(copy);
    copy->push_back(Value(2));
    EXPECT_EQ(arrayForKey(d, "a")->size(), 1u);
    EXPECT_TRUE(dictionaryForKey(d, "d"));
    EXPECT_FALSE(dataForKey(d, "s"));
    EXPECT_TRUE(objectOfClassForKey(d, Value::Type::Real, "n"));
    EXPECT_FALSE(objectOfClassForKey(d, Value::Type::String, "n"));
}
