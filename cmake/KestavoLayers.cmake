# Who may include what, checked once at configure time over the whole tree (kestavo_check_layers(),
# called after every folder is added):
#   1. Windows live under src/gui: nothing outside src/gui, src/app, tests and the benchmarks (which
#      time windows too) includes "gui/...".
#   2. The domain libraries (src/<domain>, every folder of src but gui, app and platform) have no
#      widgets: none of their files includes a Qt Widgets header, and nothing a domain target links,
#      directly or through other targets, is a widget module. Nor do the tools (the client, the
#      agent, the simulator), kestavo-browser aside, whose page view is a widget.
#   3. A target includes a project header only from a library it links (directly or through the
#      libraries it links): a library never sees one above it, because it cannot link it without
#      a cycle.
# <QLabel> alone would not compile without the Widgets module on the include path; rule 2's link
# half keeps it off, the include half catches the module-qualified forms (<QtWidgets/QLabel>).
set(KESTAVO_WIDGET_INCLUDES "QtWidgets|QApplication|Q[A-Z][a-z]*Widget|QtCharts|QtPrintSupport")
set(KESTAVO_WIDGET_MODULES "^Qt[0-9]*::(Widgets|Charts|PrintSupport|OpenGLWidgets|WebEngineWidgets|MultimediaWidgets|QuickWidgets)$")

# kestavo_forbid_includes(<target> <regex> <what the layer keeps out> [EXTRA <sources...>])
# For a rule of one library alone (QtWebEngine stays out of the console's platform adapters).
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

# Every target defined in <dir> and the folders below it.
function(_kestavo_targets_below dir out)
    get_property(_targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(_subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(_sub IN LISTS _subdirs)
        _kestavo_targets_below(${_sub} _below)
        list(APPEND _targets ${_below})
    endforeach()
    set(${out} ${_targets} PARENT_SCOPE)
endfunction()

# The libraries <target> links, and what they pass on, as names (targets and plain libraries).
# WITH_PRIVATE also follows what the libraries link only for themselves ($<LINK_ONLY:...>): it
# reaches the executable all the same, which is what the widget rule asks about.
function(_kestavo_link_closure target out)
    cmake_parse_arguments(C "WITH_PRIVATE" "" "" ${ARGN})
    set(_seen)
    get_target_property(_type ${target} TYPE)
    if(_type STREQUAL "INTERFACE_LIBRARY")
        get_target_property(_pending ${target} INTERFACE_LINK_LIBRARIES)
    else()
        get_target_property(_pending ${target} LINK_LIBRARIES)
    endif()
    while(_pending)
        list(POP_FRONT _pending _item)
        if(NOT _item OR _item MATCHES "^::@")
            continue()
        endif()
        if(_item MATCHES "^\\$<LINK_ONLY:(.*)>$")
            if(NOT C_WITH_PRIVATE)
                continue()
            endif()
            set(_item ${CMAKE_MATCH_1})
        endif()
        if(_item MATCHES "^\\$<" OR _item IN_LIST _seen)
            continue()
        endif()
        list(APPEND _seen ${_item})
        if(TARGET ${_item})
            get_target_property(_real ${_item} ALIASED_TARGET)
            if(_real)
                list(APPEND _pending ${_real})
            endif()
            get_target_property(_next ${_item} INTERFACE_LINK_LIBRARIES)
            if(_next)
                list(APPEND _pending ${_next})
            endif()
        endif()
    endwhile()
    set(${out} ${_seen} PARENT_SCOPE)
endfunction()

function(kestavo_check_layers)
    set(_root ${PROJECT_SOURCE_DIR})
    set(_problems)

    # Rules 1 and 2, on every file of the tree (also a header no target lists).
    file(GLOB_RECURSE _files LIST_DIRECTORIES false RELATIVE ${_root}
         ${_root}/src/*.h ${_root}/src/*.cpp ${_root}/tools/*.h ${_root}/tools/*.cpp
         ${_root}/fuzz/*.h ${_root}/fuzz/*.cpp)
    foreach(_file IN LISTS _files)
        if(_file MATCHES "^src/(gui|app)/")
            continue()
        endif()
        file(STRINGS ${_root}/${_file} _bad REGEX "^[ \t]*#[ \t]*include[ \t]*\"gui/")
        if(_bad)
            list(APPEND _problems "${_file} includes ${_bad}: only src/gui, src/app and the tests include windows")
        endif()
        if(_file MATCHES "^src/" AND NOT _file MATCHES "^src/platform/")
            file(STRINGS ${_root}/${_file} _bad
                 REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](${KESTAVO_WIDGET_INCLUDES})")
            if(_bad)
                list(APPEND _problems "${_file} includes ${_bad}: a domain library has no widgets")
            endif()
        endif()
    endforeach()

    # Which target each project file belongs to, for rule 3.
    _kestavo_targets_below(${_root} _targets)
    set(_mine)
    foreach(_target IN LISTS _targets)
        get_target_property(_sources ${_target} SOURCES)
        get_target_property(_dir ${_target} SOURCE_DIR)
        if(NOT _sources)
            continue()
        endif()
        foreach(_source IN LISTS _sources)
            if(_source MATCHES "^\\$<")
                continue()
            endif()
            cmake_path(ABSOLUTE_PATH _source BASE_DIRECTORY ${_dir} NORMALIZE)
            if(_source MATCHES "^${_root}/src/" AND NOT DEFINED _owner_${_source})
                set(_owner_${_source} ${_target})
            endif()
            list(APPEND _mine_${_target} ${_source})
        endforeach()
        list(APPEND _mine ${_target})
    endforeach()

    foreach(_target IN LISTS _mine)
        get_target_property(_dir ${_target} SOURCE_DIR)
        file(RELATIVE_PATH _rel ${_root} ${_dir})
        _kestavo_link_closure(${_target} _links)

        # The command-line client, the agent and the simulator run where no display is.
        if((_rel MATCHES "^src/" AND NOT _rel MATCHES "^src/(gui|app|platform)(/|$)") OR
           (_rel MATCHES "^tools/" AND NOT _rel MATCHES "^tools/kestavo-browser(/|$)"))
            _kestavo_link_closure(${_target} _all WITH_PRIVATE)
            foreach(_link IN LISTS _all)
                if(_link MATCHES "${KESTAVO_WIDGET_MODULES}")
                    list(APPEND _problems "${_target} (${_rel}) links ${_link}: it has no widgets")
                endif()
            endforeach()
        endif()

        foreach(_source IN LISTS _mine_${_target})
            if(NOT EXISTS ${_source} OR NOT _source MATCHES "^${_root}/")
                continue()
            endif()
            file(STRINGS ${_source} _includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z]+/")
            foreach(_include IN LISTS _includes)
                string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" _header "${_include}")
                set(_path ${_root}/src/${_header})
                if(NOT DEFINED _owner_${_path})
                    continue()
                endif()
                set(_owner ${_owner_${_path}})
                if(NOT _owner STREQUAL _target AND NOT _owner IN_LIST _links)
                    file(RELATIVE_PATH _from ${_root} ${_source})
                    list(APPEND _problems "${_from} includes ${_header} of ${_owner}, which ${_target} does not link")
                endif()
            endforeach()
        endforeach()
    endforeach()

    if(_problems)
        list(REMOVE_DUPLICATES _problems)
        list(JOIN _problems "\n  " _text)
        message(FATAL_ERROR "Layers:\n  ${_text}")
    endif()
endfunction()
