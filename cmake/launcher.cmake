# The launcher: every module's sources (and the portable core, format/, compiled with the
# launcher's options) in one static library, and the entry point (the driver and the
# build-input symbols) as objects that each onefile exe links with its payload object.
set(_launcher_sources
  base/env.cpp base/late_bound.cpp base/report.cpp base/report_stream.cpp base/run_state.cpp
  base/wide.cpp
  fs/directories.cpp fs/private_dir.cpp fs/self_path.cpp fs/user_folders.cpp
  dirspec/expand.cpp dirspec/run_tokens.cpp
  payload/extract.cpp payload/stream.cpp
  supervise/child.cpp supervise/console_control.cpp supervise/handoff.cpp
  supervise/library_entry.cpp supervise/missing_import.cpp supervise/parent_check.cpp
  supervise/session_end.cpp supervise/target_removal.cpp supervise/tree_removal.cpp)
list(TRANSFORM _launcher_sources PREPEND "${VELDRO_ROOT}/")

set(VELDRO_LAUNCHER_COMPILE_OPTIONS -O2 -fno-exceptions -fno-rtti -Wall -Wextra -municode)
set(VELDRO_LAUNCHER_DEFINITIONS UNICODE _UNICODE _WIN32_WINNT=0x0A00)

add_library(veldro_launcher STATIC ${_launcher_sources} ${VELDRO_FORMAT_SOURCES})
target_include_directories(veldro_launcher PUBLIC "$<BUILD_INTERFACE:${VELDRO_ROOT}>")
target_compile_options(veldro_launcher PRIVATE ${VELDRO_LAUNCHER_COMPILE_OPTIONS})
target_compile_definitions(veldro_launcher PUBLIC ${VELDRO_LAUNCHER_DEFINITIONS})
target_link_libraries(veldro_launcher PUBLIC veldro_zstd)

add_library(veldro_launcher_entry OBJECT
  "${VELDRO_ROOT}/launcher/main.cpp" "${VELDRO_ROOT}/launcher/build_inputs.cpp")
target_include_directories(veldro_launcher_entry PRIVATE "${VELDRO_ROOT}")
target_compile_options(veldro_launcher_entry PRIVATE ${VELDRO_LAUNCHER_COMPILE_OPTIONS})
target_compile_definitions(veldro_launcher_entry PRIVATE ${VELDRO_LAUNCHER_DEFINITIONS})

set_target_properties(veldro_launcher PROPERTIES EXPORT_NAME launcher)
set_target_properties(veldro_launcher_entry PROPERTIES EXPORT_NAME launcher_entry)
add_library(VeldroOnefile::launcher ALIAS veldro_launcher)
add_library(VeldroOnefile::launcher_entry ALIAS veldro_launcher_entry)
