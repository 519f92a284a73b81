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

# Once every folder is read, goes over all targets of the project. Test
# programs (those that link GoogleTest) build their own code at -Og: the code
# under test keeps its libraries' optimisation, while the tests' code, more
# than half of all compiling and of no speed that matters, compiles in about
# half the time and reads in a debugger as written.
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
