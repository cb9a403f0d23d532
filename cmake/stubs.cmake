# Prebuilt launchers ("stubs") for `veldro-pack build`, which turns an application into an exe
# without a compiler: the launcher linked once, without a payload, its build inputs read from a
# section of its own that the linker script puts last in the image and the packer replaces.
# Two subsystems: veldro-stub-gui.exe (no console of its own) and veldro-stub-console.exe (for
# command-line applications: it shares the console of whoever starts it). Installed beside the
# packer, where `veldro-pack build` looks for them; the Windows packer is installed there too.
include_guard(GLOBAL)
include(GNUInstallDirs)
if(NOT MINGW)
  return()  # the section's placement is a GNU ld script
endif()

add_library(veldro_stub_entry OBJECT
  "${VELDRO_ROOT}/launcher/main.cpp" "${VELDRO_ROOT}/launcher/build_inputs_stub.cpp")
target_include_directories(veldro_stub_entry PRIVATE "${VELDRO_ROOT}")
target_compile_options(veldro_stub_entry PRIVATE ${VELDRO_LAUNCHER_COMPILE_OPTIONS})
target_compile_definitions(veldro_stub_entry PRIVATE ${VELDRO_LAUNCHER_DEFINITIONS})

set(_stub_script "${VELDRO_ROOT}/cmake/stub_section.ld")
set(VELDRO_STUB_DIR "${CMAKE_BINARY_DIR}/stubs" CACHE INTERNAL "")
foreach(subsystem gui console)
  set(stub veldro-stub-${subsystem})
  add_executable(${stub} $<TARGET_OBJECTS:veldro_stub_entry>)
  target_link_libraries(${stub} PRIVATE veldro_launcher)
  # As a linked launcher (veldro_add_launcher), with the build-inputs section placed last.
  set(flag -mwindows)
  if(subsystem STREQUAL console)
    set(flag -mconsole)
  endif()
  _veldro_link_as_launcher(${stub} ${flag})
  target_link_options(${stub} PRIVATE "-Wl,-T,${_stub_script}")
  set_target_properties(${stub} PROPERTIES LINK_DEPENDS "${_stub_script}"
    RUNTIME_OUTPUT_DIRECTORY "${VELDRO_STUB_DIR}")
  install(TARGETS ${stub} RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
endforeach()

if(CMAKE_CROSSCOMPILING)
  # install.cmake installs the host packer; veldro-pack.exe goes beside it for Windows users.
  install(TARGETS veldro-pack RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
endif()
