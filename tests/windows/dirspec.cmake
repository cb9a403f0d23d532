# Target directory: template expansion, run-unique tokens, handoff environment, own path.

# Launchers around probe.dll with templates of their own.
veldro_fixture_launcher(dirspec_relative_launcher plain --template "veldro_rel_{RANDOM}")
veldro_fixture_launcher(dirspec_unknown_launcher plain --template "{TEMP}\\{FOO}")
veldro_fixture_launcher(dirspec_empty_failure_launcher plain --template "{}x")

# The product strings reach the template through the packer's own options.
set(_strings_object "${CMAKE_CURRENT_BINARY_DIR}/dirspec_strings_launcher.obj")
add_custom_command(OUTPUT "${_strings_object}"
  COMMAND "${VELDRO_PACK}" pack --main "$<TARGET_FILE:probe>" --level 1 --object "${_strings_object}"
          --template "{TEMP}\\dirspec_{COMPANY}_{PRODUCT}_{VERSION}_{FILE_VERSION}_{PRODUCT_VERSION}_{TIME}_{RANDOM}"
          --company Acme --product "Road Runner" --file-version 2.3.4.5 --product-version 2.3
  DEPENDS ${VELDRO_PACK_DEPENDS} probe
  VERBATIM)
veldro_add_launcher(dirspec_strings_launcher OBJECT "${_strings_object}")

# Prints the own-path forms of whatever exe it is; a Unix symbolic link to it (seen by Wine
# through Z:) shows the resolved form following the link.
add_executable(self_path_probe self_path_probe.cpp)
target_link_libraries(self_path_probe PRIVATE veldro_launcher)
target_link_options(self_path_probe PRIVATE -municode -static)
if(CMAKE_HOST_UNIX)
  add_custom_command(TARGET self_path_probe POST_BUILD
    COMMAND "${CMAKE_COMMAND}" -E create_symlink self_path_probe.exe
            "${CMAKE_CURRENT_BINARY_DIR}/self_path_link.exe"
    VERBATIM)
endif()

veldro_gtest(dirspec_unit_tests LAUNCHER SOURCES dirspec_test.cpp self_path_test.cpp
  DEPENDS self_path_probe)
veldro_gtest(dirspec_launch_tests SOURCES dirspec_launch_test.cpp
  DEPENDS dirspec_relative_launcher dirspec_unknown_launcher
          dirspec_empty_failure_launcher dirspec_strings_launcher)
