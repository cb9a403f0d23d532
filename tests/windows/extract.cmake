# Extraction and clean-up: entry extraction, directory creation, console control and the
# removal of the target directory. Included by tests/windows/CMakeLists.txt.

# --- fixture launchers ------------------------------------------------------------------------
# Failing launchers extract into "{TEMP}\target", so that a test that points TEMP at a fresh
# folder knows the full path of every file.
set(_extract_target "{TEMP}\\target")
veldro_fixture_launcher(fixture_dir_clash dir-clash --template "${_extract_target}")
# An entry below a folder name of 300 units, more than any file system takes in one component.
string(REPEAT "n" 300 _long_component)
veldro_fixture_launcher(fixture_long_component unsafe-name --name "${_long_component}\\file.txt"
  --template "${_extract_target}")

# One launcher per way out of the target directory: an absolute name, a drive-relative one (the
# current directory of that drive), a climbing one, and a stream of the main entry. Which names
# are unsafe is tested on the host (format/entry_name_test.cpp).
set(_unsafe_names
  "C:\\veldro_evil_abs.txt"
  "C:veldro_evil_drive.txt"
  "..\\veldro_evil_up.txt"
  "app.dll:evil")
set(_unsafe_targets)
list(LENGTH _unsafe_names _unsafe_count)
math(EXPR _unsafe_last "${_unsafe_count} - 1")
foreach(index RANGE ${_unsafe_last})
  list(GET _unsafe_names ${index} name)
  veldro_fixture_launcher(fixture_unsafe_${index} unsafe-name --name "${name}"
    --template "${_extract_target}")
  list(APPEND _unsafe_targets fixture_unsafe_${index})
endforeach()

# The probe with an entry name of 1023 units, the longest the format takes: four components of
# 255 units, the most a file system takes in one.
set(_long_name_tree "${CMAKE_CURRENT_BINARY_DIR}/long_name_tree")
string(REPEAT "a" 255 _a)
string(REPEAT "b" 255 _b)
string(REPEAT "c" 255 _c)
string(REPEAT "d" 251 _d)
file(WRITE "${_long_name_tree}/${_a}/${_b}/${_c}/${_d}.txt" "longest name\n")
veldro_add_onefile(extract_long_name_app MAIN probe DIRECTORY "${_long_name_tree}")

# --- tests -------------------------------------------------------------------------------------
veldro_gtest(extract_unit_tests LAUNCHER SOURCES extract_content_test.cpp)
# The directory registry lives for the whole process: a program of its own.
veldro_gtest(extract_registry_tests LAUNCHER SOURCES extract_registry_test.cpp)
veldro_gtest(cleanup_unit_tests LAUNCHER SOURCES cleanup_handler_test.cpp)
veldro_gtest(extract_launcher_tests SOURCES extract_launcher_test.cpp
  DEPENDS fixture_dir_clash fixture_long_component extract_long_name_app ${_unsafe_targets})
# The names, in launcher order, as a C++ table for the test.
set(_unsafe_table "")
foreach(name IN LISTS _unsafe_names)
  string(REPLACE "\\" "\\\\" escaped "${name}")
  string(APPEND _unsafe_table "L\"${escaped}\",\n")
endforeach()
file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/extract_unsafe_names.inc" "${_unsafe_table}")
target_include_directories(extract_launcher_tests PRIVATE "${CMAKE_CURRENT_BINARY_DIR}")

# Throughput of the entry loop over a payload file (see extract_bench.cpp); not built by default.
add_executable(extract_bench EXCLUDE_FROM_ALL extract_bench.cpp $<TARGET_OBJECTS:veldro_unit_inputs>
  "${_unit_inputs}")
target_link_libraries(extract_bench PRIVATE veldro_launcher veldro_pack_lib)
target_link_options(extract_bench PRIVATE -municode -static)
