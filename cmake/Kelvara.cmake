# One static library per folder: every .cpp of the folder, headers included as
# "<Folder>/<Name>.h" from the layer's root (platform/ or src/).
# DEPS lists the libraries this one may use; nothing else is linked, so a
# forbidden upward use fails at link time.
function(kv_library name)
    cmake_parse_arguments(ARG "" "ROOT" "DEPS;PKG" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
    # A folder of headers only is an interface library.
    if(sources)
        add_library(${name} STATIC ${sources})
        set(scope PUBLIC)
    else()
        add_library(${name} INTERFACE)
        set(scope INTERFACE)
    endif()
    target_include_directories(${name} ${scope} ${ARG_ROOT})
    target_link_libraries(${name} ${scope} ${ARG_DEPS})
    foreach(pkg IN LISTS ARG_PKG)
        target_link_libraries(${name} ${scope} PkgConfig::${pkg})
    endforeach()
endfunction()

# One test program per library folder: every *Test.cpp under tests/<folder>.
function(kv_test name)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest)
    kv_test_environment(${name})
    # Suites named *Child are run only by a test that re-runs its own binary
    # as a second process; they are not tests of their own.
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "-*Child.*"
        PROPERTIES ENVIRONMENT "KELVARA_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data")
endfunction()

# A test program that starts the local map store server on the sample
# packages: the server helpers of tests/packages and the UIKit tests' support,
# the packages and the server built first, and where they are.
function(kv_test_with_map_store name)
    set(support ${CMAKE_SOURCE_DIR}/tests/packages)
    target_sources(${name} PRIVATE ${support}/PackagesTestSupport.cpp
        ${support}/MapStoreServerProcess.cpp
        ${CMAKE_SOURCE_DIR}/tests/platform/UIKit/UIKitTestSupport.cpp)
    target_include_directories(${name} PRIVATE ${support})
    add_dependencies(${name} map_packages kelvara-mapstore-server)
    target_compile_definitions(${name} PRIVATE
        KELVARA_PACKAGES_DIR="${KV_PACKAGES_DIR}"
        KELVARA_MAPSTORE_SERVER="$<TARGET_FILE:kelvara-mapstore-server>"
        KELVARA_MAPSTORE_ROOT="${KV_MAPSTORE_ROOT}"
        KELVARA_GENERATED_RESOURCES="${KV_GENERATED_RESOURCES}")
endfunction()

# Every test program runs in the test run's environment (fonts, XDG folders
# of its own); a failing image test keeps its picture under test-output/ of
# the build folder. Its build is tuned by kv_tune_test (cmake/BuildCost.cmake).
function(kv_test_environment name)
    target_link_libraries(${name} PRIVATE kelvara_test_run_environment)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(${name} PRIVATE
        KELVARA_TEST_OUTPUT_DIR="${CMAKE_BINARY_DIR}/test-output")
    kv_tune_test(${name})
endfunction()

# A libFuzzer target built from one source under tests/fuzz.
function(kv_fuzzer name source)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    add_executable(${name} ${source})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# Renders the SVGs under the calling folder's images/ into the generated
# resources (<name>.png, @2x and @3x) as the target `target`, before
# `library` builds; `what` names them in the build's log.
function(kv_render_images library target what)
    file(GLOB svgs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/images/*.svg)
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}.stamp)
    set(script ${CMAKE_SOURCE_DIR}/src/mapkit/RenderMapImages.cmake)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_CURRENT_SOURCE_DIR}/images
                -DOUTPUT=${KV_GENERATED_RESOURCES} -DRSVG_CONVERT=${RSVG_CONVERT} -P ${script}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${svgs} ${script}
        COMMENT "Rendering ${what}")
    add_custom_target(${target} ALL DEPENDS ${stamp})
    add_dependencies(${library} ${target})
endfunction()

# A test script whose program opens windows: it runs on a virtual display of
# its own number (xvfb-run), one such test at a time, with the ENVIRONMENT
# given.
function(kv_window_test name script display timeout)
    cmake_parse_arguments(PARSE_ARGV 4 ARG "" "ENVIRONMENT" "")
    add_test(NAME ${name}
             COMMAND ${XVFB_RUN} -a -n ${display} -s "-screen 0 1280x1024x24" ${script})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout} LABELS window
        RESOURCE_LOCK xvfb_display ENVIRONMENT "${ARG_ENVIRONMENT}")
endfunction()
