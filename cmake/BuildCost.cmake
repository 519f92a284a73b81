# Keeps a clean build cheap enough for a two-core machine: programs link with
# lld, optimised code skips the costliest debug information pass, and test
# programs build their own code quickly and share one precompiled header
# (kv_tune_test).
include_guard(GLOBAL)

# lld links the large test and benchmark programs, debug information and all,
# in a third of GNU ld's time. It is asked for the 20-byte build ID GNU ld
# writes, which crash reports give for each loaded image.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld KELVARA_HAVE_LLD)
if(KELVARA_HAVE_LLD)
    add_link_options(-fuse-ld=lld -Wl,--build-id=sha1)
endif()

# Optimised code keeps its full debug information less gcc's variable
# tracking at assignments: a debugger shows a few more locals of optimised
# code as optimised out, and the libraries compile in a seventh less time.
add_compile_options("$<$<AND:$<CONFIG:RelWithDebInfo>,$<CXX_COMPILER_ID:GNU>>:-fno-var-tracking-assignments>")

# A precompiled header belongs to its build tree, so ccache cannot share the
# units that use one between trees: a build through a compiler launcher leaves
# it off unless asked.
if(CMAKE_CXX_COMPILER_LAUNCHER)
    set(kv_pch_default OFF)
else()
    set(kv_pch_default ON)
endif()
option(KELVARA_PCH "Compile the standard library's and GoogleTest's headers once for all tests"
    ${kv_pch_default})

# The standard headers that many tests include, and GoogleTest.
set(KV_PCH_HEADERS
    <algorithm> <any> <array> <atomic> <chrono> <cmath> <condition_variable> <cstdint> <cstring>
    <deque> <filesystem> <functional> <limits> <map> <memory> <mutex> <optional> <set> <sstream>
    <string> <string_view> <thread> <unordered_map> <unordered_set> <utility> <variant> <vector>
    <gtest/gtest.h>)

# The tests' own code builds at -Og with line tables only (-g1): the code
# under test keeps its libraries' optimisation and debug information, while
# the tests' code, more than half of all compiling and of no speed that
# matters, compiles in 40 % less time, its objects are a fifth the size to
# link, and a failing test's backtrace still names files and lines. A debug
# build keeps its own flags.
set(KV_TEST_CODE "$<$<NOT:$<CONFIG:Debug>>:-Og;-g1>")

# Tunes the test program `target` (kv_test_environment calls it for each).
# With KELVARA_PCH its units include the headers above from one header
# precompiled for all tests, which a unit can use only when compiled with the
# same predefined macros: all get -pthread, which pango's and SDL's flags give
# to some (it defines _REENTRANT), and CMake's -Winvalid-pch warns of a unit
# that cannot use it. The libraries, at -O2, go without: there gcc 12 warns
# (-Warray-bounds) inside the standard library's inlined string code through a
# precompiled header, where it stays quiet without one.
function(kv_tune_test target)
    target_compile_options(${target} PRIVATE ${KV_TEST_CODE})
    if(KELVARA_PCH)
        target_compile_options(${target} PRIVATE -pthread)
        set_property(GLOBAL APPEND PROPERTY KV_PCH_TESTS ${target})
    endif()
endfunction()

# Builds the shared header in an object library of one empty unit, so that
# the tests wait for nothing else, and points every tuned test at it. It runs
# once every folder is read, after scripts/architecture has read the targets:
# it is a step of the build, not a library of the project.
function(_kv_share_test_pch)
    get_property(tests GLOBAL PROPERTY KV_PCH_TESTS)
    if(NOT tests)
        return()
    endif()
    set(source ${CMAKE_BINARY_DIR}/kelvara_pch_tests.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT "// Builds the tests' precompiled header.\n")
    add_library(kelvara_pch_tests OBJECT ${source})
    target_precompile_headers(kelvara_pch_tests PRIVATE ${KV_PCH_HEADERS})
    # GoogleTest's own definitions, and the tests' options.
    target_link_libraries(kelvara_pch_tests PRIVATE GTest::gtest)
    target_compile_options(kelvara_pch_tests PRIVATE -pthread ${KV_TEST_CODE})
    foreach(test IN LISTS tests)
        target_precompile_headers(${test} REUSE_FROM kelvara_pch_tests)
    endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _kv_share_test_pch)
