# Injected into a configure run by scripts/architecture (CMAKE_PROJECT_INCLUDE):
# once every folder is read, writes one line per target of the project with
# its type, folder, sources, include folders and the names in its link items.
# The graph file CMake writes names the targets but not where each one lives,
# and draws build-order dependencies (add_dependencies, a program a custom
# command runs) just like links.
include_guard(GLOBAL)

function(_layermap_collect dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subdirs)
        _layermap_collect(${sub} more)
        list(APPEND targets ${more})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(_layermap_write)
    _layermap_collect(${CMAKE_SOURCE_DIR} targets)
    set(content "")
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "UTILITY" OR type STREQUAL "GLOBAL_TARGET")
            continue()
        endif()
        get_target_property(dir ${target} SOURCE_DIR)
        # Generator expressions are evaluated when the file is written, so
        # the include folders are the ones the compiler sees, those of
        # linked targets included.
        if(type STREQUAL "INTERFACE_LIBRARY")
            set(includes "$<TARGET_PROPERTY:${target},INTERFACE_INCLUDE_DIRECTORIES>")
        else()
            set(includes "$<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>")
        endif()
        set(sources "$<TARGET_PROPERTY:${target},SOURCES>")
        # The names in the link items as written: "$<LINK_ONLY:x>" gives
        # "LINK_ONLY" and "x", which is enough to tell a link from an order.
        get_target_property(links ${target} LINK_LIBRARIES)
        get_target_property(interface_links ${target} INTERFACE_LINK_LIBRARIES)
        string(REGEX MATCHALL "[^$<>:,;]+(::[^$<>:,;]+)*" names "${links};${interface_links}")
        list(JOIN names "|" names)
        string(APPEND content
            "${target}\t${type}\t${dir}\t$<JOIN:${sources},|>\t$<JOIN:${includes},|>\t${names}\n")
    endforeach()
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/layermap-targets.tsv CONTENT "${content}")
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _layermap_write)
