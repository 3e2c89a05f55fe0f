# A ctest: every tr() text of the console is in the catalogue and translated. Runs lupdate on a copy
# of the catalogue (the one in the tree is only rewritten by the kestavo_lupdate target) and fails
# on any message it marks unfinished: a text added or changed without its translation.
#   cmake -DLUPDATE=... -DPROJECT=... -DCATALOGUE=... -DWORK_DIR=... -P CheckCatalogue.cmake
# PROJECT: the lupdate project Qt's CMake functions write at configure time (sources, includes).
include(${PROJECT})
list(JOIN lupdate_sources "\n" _list)
list(GET lupdate_include_paths 0 _include)
file(MAKE_DIRECTORY ${WORK_DIR})
file(WRITE ${WORK_DIR}/sources.lst "${_list}")
get_filename_component(_name ${CATALOGUE} NAME)
file(COPY_FILE ${CATALOGUE} ${WORK_DIR}/${_name})
execute_process(COMMAND ${LUPDATE} -silent -no-obsolete -locations none -I ${_include}
                        @${WORK_DIR}/sources.lst -ts ${WORK_DIR}/${_name}
                RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "lupdate failed (${_rc})")
endif()
file(READ ${WORK_DIR}/${_name} _catalogue)
string(REGEX MATCHALL "type=\"unfinished\"" _marks "${_catalogue}")
list(LENGTH _marks _missing)
if(_missing GREATER 0)
    # The sources may hold ';' (&amp;): keep them one string, a line each.
    string(REGEX REPLACE "</source>[ \t\r\n]*<translation type=\"unfinished\"" "</source>@OPEN@" _texts
                         "${_catalogue}")
    string(REGEX MATCHALL "<source>[^<]*</source>@OPEN@" _texts "${_texts}")
    string(REPLACE "@OPEN@;" "\n" _texts "${_texts}")
    string(REPLACE "@OPEN@" "\n" _texts "${_texts}")
    message(FATAL_ERROR "${_name}: ${_missing} text(s) without a translation; run the kestavo_lupdate "
                        "target and translate them:\n${_texts}")
endif()
message(STATUS "${_name}: every text translated")
