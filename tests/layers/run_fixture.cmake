# Configures the fixture tree once as it is (it must pass) and once per way of breaking a layer
# (each must be refused, naming the file or target at fault).
#   cmake -DLAYERS=<KestavoLayers.cmake> -DFIXTURE=<fixture> -DWORK=<scratch> -DGENERATOR=<gen> -P run_fixture.cmake
# A case: its name; a file written into the tree ("-" for none) and its one line; a line added to
# a folder's CMakeLists.txt ("-" for none); what the refusal must say ("" for no refusal).
cmake_minimum_required(VERSION 3.25)

set(_cases
    "clean|-|-|-|-|"
    "widget include in a domain library|src/history/label.cpp|#include <QtWidgets/QLabel>|src/history|target_sources(fx_history PRIVATE label.cpp)|src/history/label.cpp includes .*QtWidgets/QLabel.*: a domain library has no widgets"
    "widgets linked through another module|-|-|src/history|target_link_libraries(fx_history PRIVATE Qt6::Charts)|fx_history \\(src/history\\) links Qt6::Widgets: it has no widgets"
    "widgets linked by a tool|-|-|tools/cli|target_link_libraries(fx_cli PRIVATE fx_window)|fx_cli \\(tools/cli\\) links Qt6::Widgets"
    "window included by a domain library|src/history/view.cpp|#include \"gui/main/window.h\"|-|-|src/history/view.cpp includes .*gui/main/window.h.*: only src/gui, src/app"
    "window included by a tool|tools/cli/show.cpp|#include \"gui/main/window.h\"|-|-|tools/cli/show.cpp includes .*gui/main/window.h"
    "header of a library not linked|src/protocol/stored.cpp|#include \"history/store.h\"|src/protocol|target_sources(fx_protocol PRIVATE stored.cpp)|src/protocol/stored.cpp includes history/store.h of fx_history, which fx_protocol does not link")

set(_failures 0)
foreach(_case IN LISTS _cases)
    string(REPLACE "|" ";" _fields "${_case}")
    list(GET _fields 0 _name)
    list(GET _fields 1 _file)
    list(GET _fields 2 _line)
    list(GET _fields 3 _folder)
    list(GET _fields 4 _cmake)
    list(GET _fields 5 _expected)
    string(MAKE_C_IDENTIFIER "${_name}" _dirName)
    set(_tree ${WORK}/${_dirName}/tree)
    file(REMOVE_RECURSE ${WORK}/${_dirName})
    file(COPY ${FIXTURE}/ DESTINATION ${_tree})
    if(NOT _file STREQUAL "-")
        file(WRITE ${_tree}/${_file} "${_line}\n")
    endif()
    if(NOT _folder STREQUAL "-")
        file(APPEND ${_tree}/${_folder}/CMakeLists.txt "${_cmake}\n")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -S ${_tree} -B ${WORK}/${_dirName}/build -G ${GENERATOR}
                            -DLAYERS=${LAYERS}
                    RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
    string(REGEX REPLACE "[ \t\r\n]+" " " _said "${_out} ${_err}")
    if(_expected STREQUAL "")
        if(NOT _rc EQUAL 0)
            message(SEND_ERROR "${_name}: refused, should pass:\n${_err}")
            math(EXPR _failures "${_failures} + 1")
        else()
            message(STATUS "${_name}: as expected")
        endif()
    elseif(_rc EQUAL 0)
        message(SEND_ERROR "${_name}: configured, should be refused")
        math(EXPR _failures "${_failures} + 1")
    elseif(NOT _said MATCHES "${_expected}")
        message(SEND_ERROR "${_name}: refused without saying \"${_expected}\":\n${_err}")
        math(EXPR _failures "${_failures} + 1")
    else()
        message(STATUS "${_name}: as expected")
    endif()
endforeach()
if(_failures GREATER 0)
    message(FATAL_ERROR "${_failures} case(s) failed")
endif()
