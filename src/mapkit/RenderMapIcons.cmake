# Renders the map icons listed in MANIFEST (lines "<name> <symbol> <colour>")
# from the SVG symbols under SYMBOLS into OUTPUT as <name>.png, <name>@2x.png
# and <name>@3x.png, 14, 28 and 42 pixels square. Shapes without a colour of
# their own are painted in the icon's colour; CSS names the scratch style
# sheet that does so. Run with cmake -P.
file(STRINGS ${MANIFEST} lines REGEX "^[^#]")
file(MAKE_DIRECTORY ${OUTPUT})
foreach(line IN LISTS lines)
    string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
    list(GET fields 0 name)
    list(GET fields 1 symbol)
    list(GET fields 2 colour)
    file(WRITE ${CSS} ":not([fill]) { fill: #${colour}; }\n")
    foreach(scale 1 2 3)
        math(EXPR side "14 * ${scale}")
        if(scale EQUAL 1)
            set(file ${OUTPUT}/${name}.png)
        else()
            set(file ${OUTPUT}/${name}@${scale}x.png)
        endif()
        execute_process(
            COMMAND ${RSVG_CONVERT} -s ${CSS} -w ${side} -h ${side} -a -o ${file}
                    ${SYMBOLS}/${symbol}.svg
            RESULT_VARIABLE result)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "cannot render ${SYMBOLS}/${symbol}.svg")
        endif()
    endforeach()
endforeach()
file(REMOVE ${CSS})
