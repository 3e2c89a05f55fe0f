# kestavo_copy_runtime_files(<target>)
# The console looks for its skins in a "Skins" folder beside the executable and plays the alarm wave
# files from the executable's folder; copy them there after every build of <target>.
include_guard(GLOBAL)

function(kestavo_copy_runtime_files target)
    set(res ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../resources)
    set(skins ${res}/skins/Default.qss)
    set(sounds ${res}/sounds/siren.wav ${res}/sounds/burgular2.wav)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>/Skins
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${skins} $<TARGET_FILE_DIR:${target}>/Skins/
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${sounds} $<TARGET_FILE_DIR:${target}>/
        COMMENT "Copying skins and alarm sounds beside ${target}"
        VERBATIM)
endfunction()
