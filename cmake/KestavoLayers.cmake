# kestavo_forbid_includes(<target> <regex> <what the layer keeps out> [EXTRA <sources...>])
# Fails the configure step when a source of <target> includes a header matching <regex>: a library
# never sees a layer above it, and nothing below the windows sees QtWidgets. <QWidget> alone would
# not compile below the UI layer anyway (the module's directory is not on the include path); the
# module-qualified forms would, which is what this catches.
set(KESTAVO_WIDGET_INCLUDES "QtWidgets|QApplication|Q[A-Z][a-z]*Widget")

function(kestavo_forbid_includes target regex reason)
    cmake_parse_arguments(F "" "" "EXTRA" ${ARGN})
    get_target_property(_sources ${target} SOURCES)
    file(RELATIVE_PATH _dir ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    foreach(_source IN LISTS _sources F_EXTRA)
        file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/${_source} _bad REGEX "#[ \t]*include[ \t]*[<\"](${regex})")
        if(_bad)
            message(FATAL_ERROR "${_dir}/${_source} includes ${_bad}; ${reason}")
        endif()
    endforeach()
endfunction()
