#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

// Where a failing image test keeps the picture it drew, so the picture that
// explains a failure is never lost: under the build folder,
// test-output/<Suite>.<Test>/<the name's last part>.png (the folders are
// made). `write` writes the picture to the path it is given.
//
// Answers the line to print with the failure: where the picture is, or that
// it could not be written.
inline std::string keepFailureImage(const std::string& name,
                                    const std::function<bool(const std::string&)>& write) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string testName =
        test ? std::string(test->test_suite_name()) + "." + test->name() : "outside-a-test";
    const std::filesystem::path folder = std::filesystem::path(KELVARA_TEST_OUTPUT_DIR) / testName;
    const std::string path =
        (folder / (std::filesystem::path(name).filename().string() + ".png")).string();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !write(path))
        return "the picture could not be written to " + path;
    return "the picture drawn is " + path;
}
