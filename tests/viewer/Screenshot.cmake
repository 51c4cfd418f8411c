# korvalin view FILE --screenshot PNG writes a real image and ends with 0; without a display (or with one that
# cannot be reached) and without --screenshot it says so, writes the image into the temporary folder and names it.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(check_png path what)
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "${what}: no image at ${path}")
    endif()
    file(SIZE "${path}" size)
    file(READ "${path}" signature LIMIT 8 HEX)
    if(NOT signature STREQUAL "89504e470d0a1a0a")
        message(FATAL_ERROR "${what}: ${path} is no PNG (${signature})")
    endif()
    # A window with menus, a toolbar and a table of text is far above an empty image of its size.
    if(size LESS 8000)
        message(FATAL_ERROR "${what}: ${path} has only ${size} bytes")
    endif()
endfunction()

foreach(mode full compressed overview)
    execute_process(COMMAND ${KORVALIN} view ${FILE} --mode ${mode} --screenshot ${WORK}/${mode}.png
                    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "view --mode ${mode}: status ${status}: ${err}")
    endif()
    check_png(${WORK}/${mode}.png "view --mode ${mode}")
endforeach()

execute_process(COMMAND ${KORVALIN} view ${FILE} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "view without a display: status ${status}: ${err}")
endif()
if(NOT out MATCHES "^No display [^\n]*\nImage written: ([^\n]*korvalin-view-[0-9]+\\.png)\n$")
    message(FATAL_ERROR "view without a display printed: ${out}")
endif()
set(temporary ${CMAKE_MATCH_1})
check_png(${temporary} "view without a display")
file(REMOVE ${temporary})

# A display that is named but cannot be reached takes the same way instead of ending the process.
execute_process(COMMAND ${CMAKE_COMMAND} -E env DISPLAY=:4711 ${KORVALIN} view ${FILE}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT out MATCHES "^The display cannot be reached[^\n]*\nImage written: ([^\n]*korvalin-view-[0-9]+\\.png)\n$")
    message(FATAL_ERROR "view with an unreachable display: status ${status}: ${out} ${err}")
endif()
set(temporary ${CMAKE_MATCH_1})
check_png(${temporary} "view with an unreachable display")
file(REMOVE ${temporary})

execute_process(COMMAND ${KORVALIN} view ${WORK}/missing.csv --screenshot ${WORK}/missing.png
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 1 OR EXISTS ${WORK}/missing.png OR NOT err MATCHES "missing.csv")
    message(FATAL_ERROR "view of a missing file: status ${status}, ${err}")
endif()
