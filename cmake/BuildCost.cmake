# Keeps a clean build cheap enough for a two-core machine.
include_guard(GLOBAL)

# lld links the large test and benchmark programs, debug information and all,
# in a third of GNU ld's time. It is asked for the 20-byte build ID GNU ld
# writes, which crash reports give for each loaded image.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld KELVARA_HAVE_LLD)
if(KELVARA_HAVE_LLD)
    add_link_options(-fuse-ld=lld -Wl,--build-id=sha1)
endif()

# A precompiled header belongs to its build tree, so ccache cannot share the
# units that use one between trees: a build through a compiler launcher leaves
# them off unless asked.
if(CMAKE_CXX_COMPILER_LAUNCHER)
    set(kv_pch_default OFF)
else()
    set(kv_pch_default ON)
endif()
option(KELVARA_PCH "Compile the standard library's and GoogleTest's headers once for all tests"
    ${kv_pch_default})

# The standard headers that many of the project's units include, and GoogleTest.
set(KV_PCH_HEADERS
    <algorithm> <any> <array> <atomic> <chrono> <cmath> <condition_variable> <cstdint> <cstring>
    <deque> <filesystem> <functional> <limits> <map> <memory> <mutex> <optional> <set> <sstream>
    <string> <string_view> <thread> <unordered_map> <unordered_set> <utility> <variant> <vector>
    <gtest/gtest.h>)

function(_kv_all_targets dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subdirs)
        _kv_all_targets(${sub} more)
        list(APPEND targets ${more})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(_kv_is_test target out)
    get_target_property(links ${target} LINK_LIBRARIES)
    if(links AND "GTest::gtest" IN_LIST links)
        set(${out} TRUE PARENT_SCOPE)
    else()
        set(${out} FALSE PARENT_SCOPE)
    endif()
endfunction()

# The tests' optimisation (see kv_tune_targets); a debug build keeps its own.
set(KV_TEST_OPTIMISATION $<$<NOT:$<CONFIG:Debug>>:-Og>)

# Once every folder is read, goes over all targets of the project. Test
# programs (those that link GoogleTest) build their own code at -Og: the code
# under test keeps its libraries' optimisation, while the tests' code, more
# than half of all compiling and of no speed that matters, compiles in about
# half the time and reads in a debugger as written.
# With KELVARA_PCH, every test's unit includes the headers above from one
# header precompiled for all. A unit can use it only when compiled with the
# same predefined macros: all get -pthread, which pango's and SDL's flags give
# to some (it defines _REENTRANT), and -Winvalid-pch warns of a unit that
# cannot use it. The libraries, at -O2, go without: there gcc 12 warns
# (-Warray-bounds) inside the standard library's inlined string code through
# a precompiled header, where it stays quiet without one.
function(kv_tune_targets)
    _kv_all_targets(${CMAKE_SOURCE_DIR} targets)
    if(KELVARA_PCH)
        # An object library of one empty unit, so that the tests wait for
        # nothing else. It is made after scripts/architecture has read the
        # targets: it is a step of the build, not a library of the project.
        set(source ${CMAKE_BINARY_DIR}/kelvara_pch_tests.cpp)
        file(CONFIGURE OUTPUT ${source} CONTENT "// Builds the tests' precompiled header.\n")
        add_library(kelvara_pch_tests OBJECT ${source})
        target_precompile_headers(kelvara_pch_tests PRIVATE ${KV_PCH_HEADERS})
        # GoogleTest's own definitions, and the tests' options.
        target_link_libraries(kelvara_pch_tests PRIVATE GTest::gtest)
        target_compile_options(kelvara_pch_tests PRIVATE -pthread ${KV_TEST_OPTIMISATION})
    endif()
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "INTERFACE_LIBRARY" OR type STREQUAL "UTILITY")
            continue()
        endif()
        _kv_is_test(${target} is_test)
        if(NOT is_test)
            continue()
        endif()
        target_compile_options(${target} PRIVATE ${KV_TEST_OPTIMISATION})
        if(KELVARA_PCH)
            target_compile_options(${target} PRIVATE -pthread)
            target_precompile_headers(${target} REUSE_FROM kelvara_pch_tests)
        endif()
    endforeach()
endfunction()
