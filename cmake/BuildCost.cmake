# What a clean build costs: more than half of its CPU went to compiling the
# tests. Once every folder is read, kv_tune_targets() goes over all targets of
# the project and builds the test programs' own code (of those that link
# GoogleTest) at -Og: the code under test keeps its libraries' optimisation,
# while the tests' code, whose speed matters to no one, compiles in half the
# time and reads in a debugger as written.
include_guard(GLOBAL)

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

function(kv_tune_targets)
    _kv_all_targets(${CMAKE_SOURCE_DIR} targets)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "INTERFACE_LIBRARY" OR type STREQUAL "UTILITY")
            continue()
        endif()
        _kv_is_test(${target} is_test)
        if(is_test)
            target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-Og>)
        endif()
    endforeach()
endfunction()
