# kestavo_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [TIMEOUT <s>])
# One QtTest executable per area; every test runs offscreen so a bare `ctest` works headless.
# Sanitizer builds check for leaks, with the third-party suppressions of sanitizer/lsan.supp;
# QtWebEngine's allocator pairs new and delete of different sizes, which ASan would stop on.
set(KESTAVO_SANITIZER_ENVIRONMENT
    "ASAN_OPTIONS=new_delete_type_mismatch=0:detect_leaks=1;LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/../sanitizer/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1")

function(kestavo_add_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    set_target_properties(${T_NAME} PROPERTIES AUTOMOC ON)
    target_link_libraries(${T_NAME} PRIVATE kestavo_common Qt6::Test ${T_LIBS})
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;${KESTAVO_SANITIZER_ENVIRONMENT}"
        TIMEOUT ${T_TIMEOUT})
    if(T_LABELS)
        set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()
