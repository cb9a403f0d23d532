# Reliability: quoting against the real splitters, stress (1,000 runs in a row, 50 at once),
# faults of the packaged application and of the disk, hostile environments and chains of
# launchers. Included by tests/windows/CMakeLists.txt.

# The probe packed as an application with one data file (a file the fault tests hold open).
veldro_add_onefile(rel_probe MAIN probe FILES "${CMAKE_CURRENT_SOURCE_DIR}/reliability_holder.cpp"
  OUTPUT_NAME rel_probe)

# A detached grandchild that keeps a file open; the runtime's own argument splitting.
add_executable(reliability_holder reliability_holder.cpp)
target_link_options(reliability_holder PRIVATE -municode -static)
add_executable(reliability_argv_probe reliability_argv_probe.cpp)
target_link_options(reliability_argv_probe PRIVATE -municode -static)

# A main DLL with a static dependency, packed with and without it, and an impostor to plant.
veldro_dependency_fixture(rel)

# The probe and a 2 MiB entry: more than the small disk of the disk-full test holds.
veldro_fixture_launcher(rel_disk_full sized-entry --size 2097152)

set(_rel_programs rel_probe reliability_holder reliability_argv_probe rel_dep rel_missing_dep
  rel_dep_impostor rel_disk_full)
veldro_gtest(reliability_tests LAUNCHER SOURCES reliability_test.cpp DEPENDS ${_rel_programs})
# The long and the mount-needing tests run as tests of their own.
set(_rel_exe ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:reliability_tests>)
set_tests_properties(reliability_tests PROPERTIES
  ENVIRONMENT "${VELDRO_TEST_ENV};GTEST_FILTER=-Stress.*:Disk.*")
veldro_windows_test(reliability_stress ${_rel_exe} --gtest_filter=Stress.*)
# Alone: a thousand runs in a row measure the launcher, not the other tests' load.
set_tests_properties(reliability_stress PROPERTIES TIMEOUT 1200 RUN_SERIAL TRUE)
foreach(disk small readonly)
  add_test(NAME reliability_${disk}_disk
    COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/reliability_disk.sh" ${disk} ${_rel_exe} --gtest_filter=Disk.*)
  set_tests_properties(reliability_${disk}_disk PROPERTIES FIXTURES_REQUIRED wine
    ENVIRONMENT "${VELDRO_TEST_ENV}" SKIP_RETURN_CODE 77)
endforeach()
