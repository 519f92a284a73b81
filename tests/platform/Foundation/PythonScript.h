#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

// Runs a Python script of the test (Debian's python3 and its modules) on one
// file and answers what it printed; a failing script fails the test.
inline std::string runPythonScript(const std::string& script, const std::string& file,
                                   const std::string& folder) {
    const std::string path = folder + "/script.py";
    std::ofstream(path) << script;
    FILE* pipe = popen(("/usr/bin/python3 '" + path + "' '" + file + "'").c_str(), "r");
    std::string out;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
        out.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << out;
    return out;
}
