# Reliability: quoting against the real splitters, stress (1,000 runs in a row, 50 at once),
# faults of the packaged application and of the temp folder and disk. Included by
# tests/windows/CMakeLists.txt.

# The probe packed as an application with one data file (a file the fault tests hold open).
veldro_add_onefile(rel_probe MAIN probe FILES "${CMAKE_CURRENT_SOURCE_DIR}/reliability_holder.cpp"
  OUTPUT_NAME rel_probe)

# A detached grandchild that keeps a file open; the runtime's own argument splitting.
add_executable(reliability_holder reliability_holder.cpp)
target_link_options(reliability_holder PRIVATE -municode -static)
add_executable(reliability_argv_probe reliability_argv_probe.cpp)
target_link_options(reliability_argv_probe PRIVATE -municode -static)

# The probe and a 2 MiB entry: more than the small disk of the disk-full test holds.
veldro_fixture_launcher(rel_disk_full sized-entry --size 2097152)

# The parent's quoting (the launcher's own build of format/command_line.cpp) against the
# system's and the runtime's splitters.
veldro_gtest(quoting_tests SOURCES quoting_splitters_test.cpp DEPENDS reliability_argv_probe)
target_link_libraries(quoting_tests PRIVATE veldro_launcher)

veldro_gtest(reliability_tests SOURCES reliability_faults_test.cpp reliability_temp_test.cpp
  DEPENDS rel_probe reliability_holder rel_disk_full)
# The disk-full test runs as a test of its own, on a small disk mounted for it.
set_tests_properties(reliability_tests PROPERTIES ENVIRONMENT "${VELDRO_TEST_ENV};GTEST_FILTER=-Disk.*")
add_test(NAME reliability_small_disk
  COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/reliability_disk.sh" ${CMAKE_CROSSCOMPILING_EMULATOR}
          $<TARGET_FILE:reliability_tests> --gtest_filter=Disk.*)
set_tests_properties(reliability_small_disk PROPERTIES FIXTURES_REQUIRED wine
  ENVIRONMENT "${VELDRO_TEST_ENV}" SKIP_RETURN_CODE 77)

# Alone: a thousand runs in a row measure the launcher, not the other tests' load.
veldro_gtest(reliability_stress SOURCES reliability_stress_test.cpp DEPENDS rel_probe)
set_tests_properties(reliability_stress PROPERTIES TIMEOUT 1200 RUN_SERIAL TRUE)
