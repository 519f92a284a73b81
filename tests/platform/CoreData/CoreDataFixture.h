#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "CoreData/CoreDataErrors.h"
#include "CoreData/NSManagedObject.h"
#include "CoreData/NSManagedObjectContext.h"
#include "CoreData/NSManagedObjectModel.h"
#include "CoreData/NSPersistentStoreCoordinator.h"
#include "Foundation/NSValueTransformer.h"

// Stores words as newline-separated bytes.
class TestWordsTransformer : public NSValueTransformer {
  public:
    std::any transformedValue(const std::any& value) const override {
        const auto* words = std::any_cast<std::vector<std::string>>(&value);
        if (!words)
            return {};
        Value::Data data;
        for (const std::string& word : *words) {
            data.insert(data.end(), word.begin(), word.end());
            data.push_back('\n');
        }
        return data;
    }
    std::any reverseTransformedValue(const std::any& value) const override {
        const auto* data = std::any_cast<Value::Data>(&value);
        if (!data)
            return {};
        std::vector<std::string> words;
        std::string word;
        for (uint8_t byte : *data) {
            if (byte == '\n') {
                words.push_back(word);
                word.clear();
            } else {
                word += static_cast<char>(byte);
            }
        }
        return words;
    }
};

class TestObject : public NSManagedObject {
  public:
    std::string name() { return stringForKey("name").value_or(""); }
};
class TestBuilding : public TestObject {};

// A temporary folder, the Places model and a coordinator, for each test.
class CoreDataTest : public ::testing::Test {
  protected:
    static std::string dataPath(const std::string& name) {
        const char* root = getenv("KELVARA_TEST_DATA");
        return std::string(root ? root : "tests/data") + "/coredata/" + name;
    }

    static void SetUpTestSuite() {
        NSValueTransformer::setValueTransformerForName(std::make_shared<TestWordsTransformer>(),
                                                       "TestWordsTransformer");
        NSManagedObject::registerClass("TestObject", [] { return std::make_shared<TestObject>(); });
        NSManagedObject::registerClass("TestBuilding",
                                       [] { return std::make_shared<TestBuilding>(); });
        NSManagedObject::registerDerivedProperty(
            "TestObject", "isHighway", [](const NSManagedObject& object) {
                auto& mutableObject = const_cast<NSManagedObject&>(object);
                return Value(mutableObject.integerForKey("typeID").value_or(0) == 7);
            });
    }

    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kvcoredata.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        model_ = NSManagedObjectModel::modelWithContentsOfFile(dataPath("Places.model"));
        ASSERT_NE(model_, nullptr);
        coordinator_ = std::make_shared<NSPersistentStoreCoordinator>(model_);
    }

    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }

    std::string file(const std::string& name) const { return directory_ + "/" + name; }

    std::shared_ptr<NSPersistentStore> addStore(const std::string& name,
                                                Value::Dictionary options = {},
                                                NSError* error = nullptr,
                                                const std::string& configuration = "") {
        return coordinator_->addPersistentStoreWithType(NSSQLiteStoreType, configuration,
                                                        file(name), options, error);
    }

    std::shared_ptr<NSManagedObjectContext> newContext() const {
        auto context = std::make_shared<NSManagedObjectContext>();
        context->setPersistentStoreCoordinator(coordinator_);
        return context;
    }

    static std::vector<uint8_t> bytesOfFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }

    std::shared_ptr<NSManagedObject> insertObject(
        const std::shared_ptr<NSManagedObjectContext>& context, const std::string& name,
        double latitude = 0, double longitude = 0) const {
        auto object = context->insertNewObjectForEntityForName("object");
        object->setValueForKey("name", Value(name));
        object->setValueForKey("latitude", Value(latitude));
        object->setValueForKey("longitude", Value(longitude));
        return object;
    }

    std::vector<std::string> names(
        const std::vector<std::shared_ptr<NSManagedObject>>& objects) const {
        std::vector<std::string> result;
        for (const auto& object : objects)
            result.push_back(object->stringForKey("name").value_or("<nil>"));
        return result;
    }

    std::string directory_;
    std::shared_ptr<NSManagedObjectModel> model_;
    std::shared_ptr<NSPersistentStoreCoordinator> coordinator_;
};
