// The package files as other programs see them: plain SQLite in Core Data's
// table layout, property lists, and one zip holding the package folder.
#include <minizip/unzip.h>
#include <sqlite3.h>

#include <filesystem>
#include <set>

#include "CBGeoData/CBGeoObject.h"
#include "Foundation/NSPropertyListSerialization.h"
#include "PackageStoreFixture.h"

namespace {

class PackageLayoutTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open_v2(packageStorePath(GetParam()).c_str(), &db_, SQLITE_OPEN_READONLY,
                                  nullptr),
                  SQLITE_OK);
    }
    void TearDown() override { sqlite3_close(db_); }

    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        std::vector<std::vector<std::string>> result;
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql;
        while (statement && sqlite3_step(statement) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                auto text = sqlite3_column_text(statement, i);
                row.push_back(text ? reinterpret_cast<const char*>(text) : "");
            }
            result.push_back(row);
        }
        sqlite3_finalize(statement);
        return result;
    }

    sqlite3* db_ = nullptr;
};

TEST_P(PackageLayoutTest, StoreHasTheCoreDataTables) {
    std::set<std::string> tables;
    for (const auto& row : rows("SELECT name FROM sqlite_master WHERE type = 'table'"))
        tables.insert(row[0]);
    for (const char* table :
         {"ZOBJECT", "ZELEMENT", "ZNODE", "ZNODEINFO", "ZMAPTILE", "ZGROUP", "ZTAG", "ZRELATION",
          "ZELEMENTINFO", "ZADDRESS", "ZCITY", "ZCITYNAME", "Z_PRIMARYKEY", "Z_METADATA"})
        EXPECT_TRUE(tables.count(table)) << table;
    auto columns = rows("SELECT name FROM pragma_table_info('ZOBJECT')");
    std::set<std::string> names;
    for (const auto& row : columns)
        names.insert(row[0]);
    for (const char* column : {"Z_PK", "Z_ENT", "Z_OPT", "ZNAME", "ZCANONICALNAME", "ZTYPEID",
                               "ZLATITUDE", "ZLONGITUDE", "ZCITY"})
        EXPECT_TRUE(names.count(column)) << column;
    EXPECT_EQ(rows("SELECT Z_VERSION FROM Z_METADATA"),
              (std::vector<std::vector<std::string>>{{"1"}}));
    auto keys = rows(
        "SELECT Z_MAX, (SELECT MAX(Z_PK) FROM ZOBJECT) FROM Z_PRIMARYKEY WHERE Z_NAME = 'object'");
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0][0], keys[0][1]);
    // Indexes the queries rely on.
    auto indexes =
        rows("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'ZMAPTILE'");
    EXPECT_FALSE(indexes.empty());
}

TEST_P(PackageLayoutTest, CanonicalNamesAreFoldedAsTheSearchFoldsInput) {
    auto named =
        rows("SELECT ZNAME, ZCANONICALNAME FROM ZOBJECT WHERE ZNAME IS NOT NULL LIMIT 2000");
    ASSERT_FALSE(named.empty());
    bool folded = false;
    for (const auto& row : named) {
        EXPECT_EQ(row[1], CBGeoObject::canonicalNameForString(row[0]));
        folded = folded || row[0] != row[1];
    }
    EXPECT_TRUE(folded);
    EXPECT_EQ(CBGeoObject::canonicalNameForString("Große Straße"), "grosse strasse");
}

TEST_P(PackageLayoutTest, FolderAndZipHoldThePackage) {
    std::string folder = packageFolder(GetParam());
    for (const char* plist : {"/layers/layers.plist", "/documents/documents.plist"}) {
        auto read = NSPropertyListSerialization::propertyListWithContentsOfFile(folder + plist);
        ASSERT_TRUE(read) << plist;
        EXPECT_TRUE(read->arrayValue());
    }
    EXPECT_TRUE(std::filesystem::exists(folder + "/LICENSE.txt"));

    unzFile zip = unzOpen64((folder + ".zip").c_str());
    ASSERT_NE(zip, nullptr);
    std::set<std::string> entries;
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
        char name[512];
        unz_file_info64 info;
        ASSERT_EQ(unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0),
                  UNZ_OK);
        entries.insert(name);
        EXPECT_EQ(std::string(name).rfind(GetParam() + "/", 0), 0u) << name;
    }
    unzClose(zip);
    for (const std::string& expected :
         {GetParam() + ".sqlite", std::string("layers/layers.plist"),
          std::string("documents/documents.plist"), std::string("LICENSE.txt")})
        EXPECT_TRUE(entries.count(GetParam() + "/" + expected)) << expected;
}

INSTANTIATE_TEST_SUITE_P(Samples, PackageLayoutTest,
                         ::testing::Values("neubrandenburg", "liechtenstein", "three-rivers"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
