# Runs one script of tests/app/scripts with the korvalin command, as a user runs it, and compares.
#   cmake -DKORVALIN=path -DSCRIPT=name.kvs -DSCRIPTS=folder -DDATA=folder [-DAPPDATA=folder] -DWORK=folder
#         -P RunScript.cmake
# The script runs in a fresh copy of WORK holding the script and data/ (a copy of DATA, and of APPDATA when
# given). Expectations:
#   SCRIPTS/name.out          standard output, exactly
#   "#! status N" lines       the exit status (default 0)
#   "#! stderr REGEX" lines   each must match standard error (else standard error must be empty)
#   "#! file NAME" lines      a file the script must leave in its folder
#   "#! language de|en"       the language of the messages (LC_ALL de_DE.UTF-8 or en_US.UTF-8; default de);
#                             the user's profile is never read
get_filename_component(name ${SCRIPT} NAME_WE)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${DATA}/ DESTINATION ${WORK}/data)
if(APPDATA)
    file(COPY ${APPDATA}/ DESTINATION ${WORK}/data) # the app's own data beside the shared files
endif()
file(COPY ${SCRIPTS}/${SCRIPT} DESTINATION ${WORK})
file(STRINGS ${SCRIPTS}/${SCRIPT} directives REGEX "^#! ")
set(locale de_DE.UTF-8)
if(";${directives};" MATCHES ";#! language en;")
    set(locale en_US.UTF-8)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=${locale} XDG_CONFIG_HOME=${WORK}/no-profile
                        ${KORVALIN} run ${WORK}/${SCRIPT} WORKING_DIRECTORY ${WORK}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(expected_status 0)
set(stderr_patterns "")
foreach(line IN LISTS directives)
    if(line MATCHES "^#! status ([0-9]+)")
        set(expected_status ${CMAKE_MATCH_1})
    elseif(line MATCHES "^#! stderr (.*)$")
        list(APPEND stderr_patterns "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^#! file (.*)$")
        if(NOT EXISTS ${WORK}/${CMAKE_MATCH_1})
            message(FATAL_ERROR "${SCRIPT}: the file ${CMAKE_MATCH_1} was not left behind")
        endif()
    endif()
endforeach()
if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "${SCRIPT}: exit status ${status}, expected ${expected_status}\nstderr:\n${err}")
endif()
if(stderr_patterns)
    foreach(pattern IN LISTS stderr_patterns)
        if(NOT err MATCHES "${pattern}")
            message(FATAL_ERROR "${SCRIPT}: standard error does not match '${pattern}':\n${err}")
        endif()
    endforeach()
elseif(NOT err STREQUAL "")
    message(FATAL_ERROR "${SCRIPT}: unexpected standard error:\n${err}")
endif()
set(expected_out "")
if(EXISTS ${SCRIPTS}/${name}.out)
    file(READ ${SCRIPTS}/${name}.out expected_out)
endif()
if(NOT out STREQUAL expected_out)
    file(WRITE ${WORK}/actual.out "${out}")
    message(FATAL_ERROR "${SCRIPT}: standard output differs from ${name}.out (actual output in ${WORK}/actual.out):\n${out}")
endif()
