# Launchers built without a compiler: `veldro-pack build` on the prebuilt stubs, held against
# the linked route (the same application and strings through veldro_add_onefile), read back by
# independent readers, run from cmd and a terminal, signed; the installed package used from an
# environment without a compiler, and the Windows packer under Wine (tests/prebuilt/run.sh).
set(_pb_bin "${CMAKE_CURRENT_BINARY_DIR}/prebuilt")
set(_pb_icon "${_pb_bin}/app.ico")
add_custom_command(OUTPUT "${_pb_icon}"
  COMMAND "${VELDRO_ROOT}/tests/prebuilt/make_icon.sh" "${_pb_icon}"
  DEPENDS "${VELDRO_ROOT}/tests/prebuilt/make_icon.sh"
  VERBATIM)

# The probe with product strings, a template that uses them and a two-image icon: linked, and
# built on the graphical stub, both as pb_app.exe.
set(_pb_template "{TEMP}\\onefile_{COMPANY}_{VERSION}_{PID}_{RANDOM}")
veldro_add_onefile(pb_linked MAIN probe COMPANY "Acme Tools" PRODUCT "Probe \"Deluxe\""
  FILE_VERSION 2.3.4.5 PRODUCT_VERSION 2.3-beta TEMPLATE "${_pb_template}" ICON "${_pb_icon}"
  OUTPUT_NAME pb_app)
set_target_properties(pb_linked PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${_pb_bin}/linked")
add_custom_command(OUTPUT "${_pb_bin}/built/pb_app.exe"
  COMMAND "${VELDRO_PACK}" build --main "$<TARGET_FILE:probe>" --company "Acme Tools"
          --product "Probe \"Deluxe\"" --file-version 2.3.4.5 --product-version 2.3-beta
          --template "${_pb_template}" --icon "${_pb_icon}"
          --stub "$<TARGET_FILE:veldro-stub-gui>" -o "${_pb_bin}/built/pb_app.exe"
  DEPENDS ${VELDRO_PACK_DEPENDS} probe veldro-stub-gui "${_pb_icon}"
  VERBATIM)

# The probe as a console launcher: built on the console stub, and linked with CONSOLE.
add_custom_command(OUTPUT "${_pb_bin}/pb_console.exe"
  COMMAND "${VELDRO_PACK}" build --console --main "$<TARGET_FILE:probe>"
          --stub "$<TARGET_FILE:veldro-stub-console>" -o "${_pb_bin}/pb_console.exe"
  DEPENDS ${VELDRO_PACK_DEPENDS} probe veldro-stub-console
  VERBATIM)
veldro_add_onefile(pb_console_linked MAIN probe CONSOLE OUTPUT_NAME pb_console_linked)
set_target_properties(pb_console_linked PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${_pb_bin}")
add_custom_target(pb_built ALL DEPENDS "${_pb_bin}/built/pb_app.exe" "${_pb_bin}/pb_console.exe")

add_executable(image_probe image_probe.cpp)
target_link_libraries(image_probe PRIVATE imagehlp)
target_link_options(image_probe PRIVATE -municode -static)
if(NOT TARGET resource_probe)  # built by the packaging area, which may not be picked
  add_executable(resource_probe resource_probe.cpp)
  target_link_libraries(resource_probe PRIVATE version)
  target_link_options(resource_probe PRIVATE -municode -static)
endif()

# The stubs import what a linked launcher imports: kernel32 and msvcrt only.
foreach(subsystem gui console)
  veldro_windows_test(stub_imports_${subsystem}
    ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:veldro-stub-${subsystem}> -DOBJDUMP=x86_64-w64-mingw32-objdump
    -DEXPECTED=KERNEL32.dll,msvcrt.dll -P "${CMAKE_CURRENT_SOURCE_DIR}/check_imports.cmake")
endforeach()

add_test(NAME prebuilt
  COMMAND "${VELDRO_ROOT}/tests/prebuilt/run.sh" "${VELDRO_ROOT}" "${CMAKE_BINARY_DIR}"
          "${_pb_bin}/scratch")
set_tests_properties(prebuilt PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 900)

# Ctrl+C in a terminal, with the console launcher: the run the console control was made for.
add_test(NAME e2e_ctrl_c_console
  COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/e2e_ctrl_c.sh" "${_pb_bin}/pb_console.exe"
          "$<TARGET_FILE:exit_code_runner>")
set_tests_properties(e2e_ctrl_c_console PROPERTIES FIXTURES_REQUIRED wine
  ENVIRONMENT "WINEPREFIX=${VELDRO_WINEPREFIX};WINEDEBUG=-all")
