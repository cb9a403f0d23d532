# Roles, child launch and library-entry mode, tested on whole launchers run as a user would:
# the probe DLL packed as a real onefile exe, main DLLs that break the entry contract, a main
# DLL with a static dependency (and an impostor of that dependency to plant), Ctrl+C under a
# pseudo-terminal.
set(_sv_bin "${CMAKE_CURRENT_BINARY_DIR}")
set(_sv_dlls "${CMAKE_CURRENT_SOURCE_DIR}/fixture_dlls")

# The probe packed by the packer, as an application author would pack it.
veldro_add_onefile(sv_probe MAIN probe OUTPUT_NAME sv_probe)

# Unix symbolic links made as a user would (ln -s): one to the exe from another folder, one to
# a folder holding a copy of it (Wine shows the folder link as a reparse point).
add_custom_command(TARGET sv_probe POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory "${_sv_bin}/sv_links" "${_sv_bin}/sv_linked"
  COMMAND ${CMAKE_COMMAND} -E copy "$<TARGET_FILE:sv_probe>" "${_sv_bin}/sv_linked/sv_probe.exe"
  COMMAND ln -sfn "$<TARGET_FILE:sv_probe>" "${_sv_bin}/sv_links/sv_probe_link.exe"
  COMMAND ln -sfn "${_sv_bin}/sv_linked" "${_sv_bin}/sv_links/folder"
  VERBATIM)

# The main DLL with its dependency, without it, and an impostor of the dependency.
veldro_dependency_fixture(sv)

# Payloads the packer refuses: a main DLL without run_code, and no entry at all.
add_library(sv_no_run_code SHARED "${_sv_dlls}/no_run_code.cpp")
set_target_properties(sv_no_run_code PROPERTIES PREFIX "")
target_link_options(sv_no_run_code PRIVATE -static -s)
foreach(kind plain empty)
  set(object "${_sv_bin}/sv_payload_${kind}.obj")
  add_custom_command(OUTPUT "${object}"
    COMMAND "${VELDRO_FIXTURE}" ${kind} "${object}" --main "$<TARGET_FILE:sv_no_run_code>"
    DEPENDS ${VELDRO_PACK_DEPENDS} sv_no_run_code
    VERBATIM)
endforeach()
veldro_add_launcher(sv_no_entry_point OBJECT "${_sv_bin}/sv_payload_plain.obj")
veldro_add_launcher(sv_empty OBJECT "${_sv_bin}/sv_payload_empty.obj")

# Templates built on the program's own name: both roles must name one folder however the
# launcher was started.
veldro_fixture_launcher(sv_program_dir plain --template "{PROGRAM_DIR}\\pd_{RANDOM}")
veldro_fixture_launcher(sv_program_base plain --template "{PROGRAM_BASE}_{RANDOM}")
veldro_fixture_launcher(sv_program plain --template "{PROGRAM}_{RANDOM}")
# A launcher stored at long paths; its own template prefix lets the test see what it leaves.
veldro_fixture_launcher(sv_long_path plain --template "{TEMP}\\long_path_{RANDOM}")

# What goes in and comes out of the application; who does what (roles, failures of the main
# DLL, the DLL search).
veldro_gtest(e2e_arguments_tests SOURCES e2e_arguments_test.cpp DEPENDS sv_probe)
veldro_gtest(e2e_roles_tests SOURCES e2e_roles_test.cpp
  DEPENDS sv_probe sv_dep sv_missing_dep sv_dep_impostor sv_no_entry_point sv_empty
          sv_program_dir sv_program_base sv_program)

# Ctrl+C for real: a pseudo-terminal turns ^C into SIGINT for every process of the run.
add_test(NAME e2e_ctrl_c
  COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/e2e_ctrl_c.sh" "$<TARGET_FILE:sv_probe>"
          "$<TARGET_FILE:exit_code_runner>")
set_tests_properties(e2e_ctrl_c PROPERTIES FIXTURES_REQUIRED wine
  ENVIRONMENT "WINEPREFIX=${VELDRO_WINEPREFIX};WINEDEBUG=-all")

# A pipe reading the launcher's output ends with the launcher under a Wine session without a
# desktop process (a Wine prefix of its own, made once in the build tree).
add_test(NAME pipe_eof
  COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/pipe_eof.sh" "$<TARGET_FILE:sv_probe>"
          "${CMAKE_CURRENT_BINARY_DIR}/pipe_eof")
set_tests_properties(pipe_eof PROPERTIES TIMEOUT 300 ENVIRONMENT "LC_ALL=C.UTF-8")

# A windowed launch without standard streams shows its failure in a message box (under a
# virtual display, in a Wine prefix of its own made once in the build tree).
add_executable(failure_box_runner failure_box_runner.cpp)
target_link_options(failure_box_runner PRIVATE -municode -static)
add_test(NAME failure_box
  COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/failure_box.sh" "${CMAKE_CURRENT_BINARY_DIR}"
          "${CMAKE_CURRENT_BINARY_DIR}/failure_box")
set_tests_properties(failure_box PROPERTIES TIMEOUT 300 ENVIRONMENT "LC_ALL=C.UTF-8")

# A launcher stored at paths of about 250 to 4,000 units, started from the Unix side as a user
# starts it: it runs or refuses with the launch line, never crashes, and leaves nothing.
add_test(NAME long_path
  COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/long_path.sh" "$<TARGET_FILE:sv_long_path>"
          "${CMAKE_CURRENT_BINARY_DIR}/long_path")
set_tests_properties(long_path PROPERTIES FIXTURES_REQUIRED wine
  ENVIRONMENT "WINEPREFIX=${VELDRO_WINEPREFIX};WINEDEBUG=-all;LC_ALL=C.UTF-8")
