# Renders every SVG under SOURCE into OUTPUT as <name>.png, <name>@2x.png and
# <name>@3x.png at its own size times 1, 2 and 3. Run with cmake -P.
file(GLOB images ${SOURCE}/*.svg)
file(MAKE_DIRECTORY ${OUTPUT})
foreach(image IN LISTS images)
    get_filename_component(name ${image} NAME_WE)
    foreach(scale 1 2 3)
        if(scale EQUAL 1)
            set(file ${OUTPUT}/${name}.png)
        else()
            set(file ${OUTPUT}/${name}@${scale}x.png)
        endif()
        execute_process(COMMAND ${RSVG_CONVERT} -z ${scale} -o ${file} ${image}
                        RESULT_VARIABLE result)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "cannot render ${image}")
        endif()
    endforeach()
endforeach()
