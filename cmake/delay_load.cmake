# veldro_delay_load(<static library> <dll> <function>...)
#
# Binds the listed functions of a system DLL at their first call instead of at start: the DLL
# is loaded only by a process that calls one of them. A child never calls shell32, user32 or
# advapi32, and under Wine loading shell32 (with the user32 it pulls in) costs about as much
# as starting the process itself.
#
# With GNU tools, dlltool writes a delay-import library at configure time; its objects become
# sources of <static library>, so every exe that links the library, in this build or through
# an installed package, gets them without further flags (the binding helper comes from
# mingw-w64's runtime). A function missing from the list is an undefined reference at link
# time. Without dlltool the DLL is imported as usual.
function(veldro_delay_load library dll)
  if(NOT CMAKE_DLLTOOL)
    target_link_libraries(${library} PUBLIC ${dll})
    return()
  endif()
  set(dir "${CMAKE_CURRENT_BINARY_DIR}/delay_load/${dll}")
  file(REMOVE_RECURSE "${dir}")
  file(MAKE_DIRECTORY "${dir}")
  string(REPLACE ";" "\n" exports "${ARGN}")
  file(WRITE "${dir}/${dll}.def" "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
  execute_process(
    COMMAND "${CMAKE_DLLTOOL}" --def "${dll}.def" --output-delaylib "lib${dll}_delay.a"
    WORKING_DIRECTORY "${dir}" COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND "${CMAKE_AR}" x "lib${dll}_delay.a"
    WORKING_DIRECTORY "${dir}" COMMAND_ERROR_IS_FATAL ANY)
  file(GLOB objects "${dir}/*.o")
  target_sources(${library} PRIVATE ${objects})
endfunction()
