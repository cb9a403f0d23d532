# Packaging as a product: consumer projects (add_subdirectory and installed package), resources,
# reproducible builds, list/verify, signing and the packer's refusals.
add_executable(resource_probe resource_probe.cpp)
target_link_libraries(resource_probe PRIVATE version)
target_link_options(resource_probe PRIVATE -municode -static)

add_test(NAME packaging
  COMMAND "${VELDRO_ROOT}/tests/packaging/run.sh" "${VELDRO_ROOT}" "${CMAKE_BINARY_DIR}"
          "${CMAKE_CURRENT_BINARY_DIR}/packaging")
set_tests_properties(packaging PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 1800)

# The packer's command line: exact output and exit codes, with a main DLL linked the default
# MinGW way (the C++ runtime as DLLs) for the import warnings.
add_library(shared_runtime SHARED fixture_dlls/shared_runtime.cpp)
set_target_properties(shared_runtime PROPERTIES PREFIX "")
add_test(NAME pack_cli
  COMMAND "${VELDRO_ROOT}/tests/packaging/cli.sh" "${VELDRO_ROOT}" "${VELDRO_PACK}"
          "$<TARGET_FILE:probe>" "$<TARGET_FILE:shared_runtime>" "$<TARGET_FILE:hello_onefile>"
          "${CMAKE_CURRENT_BINARY_DIR}/pack_cli")
set_tests_properties(pack_cli PROPERTIES TIMEOUT 600)
