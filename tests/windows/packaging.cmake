# Packaging as a product: consumer projects (add_subdirectory and installed package), resources,
# reproducible builds, list/verify, signing and the packer's refusals.
add_executable(resource_probe resource_probe.cpp)
target_link_libraries(resource_probe PRIVATE version)
target_link_options(resource_probe PRIVATE -municode -static)

add_test(NAME packaging
  COMMAND "${VELDRO_ROOT}/tests/packaging/run.sh" "${VELDRO_ROOT}" "${CMAKE_BINARY_DIR}"
          "${CMAKE_CURRENT_BINARY_DIR}/packaging")
set_tests_properties(packaging PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 1800)
