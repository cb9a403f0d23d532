# veldro_add_onefile(): turns an application (main DLL, folders, single files) into one
# onefile exe. The packer runs at build time as a native program: in a cross build it is
# built for the host by a nested configure of this tree; on Windows it is built natively.
include_guard(GLOBAL)

if(VELDRO_ONEFILE_INSTALLED)
  # An installed package (VeldroOnefileConfig.cmake) has set the packer already.
elseif(CMAKE_CROSSCOMPILING)
  include(ExternalProject)
  set(_host_tools "${CMAKE_BINARY_DIR}/host-tools")
  ExternalProject_Add(veldro_host_tools
    SOURCE_DIR "${VELDRO_ROOT}"
    BINARY_DIR "${_host_tools}"
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DVELDRO_HOST_TOOLS_ONLY=ON -DBUILD_TESTING=OFF
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS "${_host_tools}/pack/veldro-pack" "${_host_tools}/tests/fixtures/veldro-fixture")
  set(VELDRO_PACK "${_host_tools}/pack/veldro-pack" CACHE INTERNAL "")
  set(VELDRO_FIXTURE "${_host_tools}/tests/fixtures/veldro-fixture" CACHE INTERNAL "")
  set(VELDRO_PACK_DEPENDS veldro_host_tools "${VELDRO_PACK}" CACHE INTERNAL "")
else()
  set(VELDRO_PACK "$<TARGET_FILE:veldro-pack>" CACHE INTERNAL "")
  set(VELDRO_PACK_DEPENDS veldro-pack CACHE INTERNAL "")
endif()

# veldro_add_launcher(<target> OBJECT <payload.obj> [OUTPUT_NAME <name>] [CONSOLE])
# A launcher exe around an already written payload object (what veldro_add_onefile builds on;
# tests use it directly for payloads the packer would refuse). CONSOLE: the console subsystem.
function(veldro_add_launcher target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "CONSOLE" "OBJECT;OUTPUT_NAME" "")
  set_source_files_properties("${ARG_OBJECT}" PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  set(subsystem WIN32)
  set(subsystem_flag -mwindows)
  if(ARG_CONSOLE)
    set(subsystem "")
    set(subsystem_flag -mconsole)
  endif()
  add_executable(${target} ${subsystem} $<TARGET_OBJECTS:VeldroOnefile::launcher_entry> "${ARG_OBJECT}")
  target_link_libraries(${target} PRIVATE VeldroOnefile::launcher)
  # GUI subsystem with a wide entry point, everything static so the exe imports only system
  # DLLs; no time stamp so that the same inputs give the same bytes; a roomy stack reserve
  # (committed only as used) for the directory walks. Sections page-aligned in the file, so
  # that a loader can map the payload from the file as it is read instead of copying it whole
  # at start (Wine copies sections that are not; the child would hold the whole payload).
  target_link_options(${target} PRIVATE
    -municode ${subsystem_flag} -static -s -Wl,--no-insert-timestamp -Wl,--stack,8388608
    -Wl,--file-alignment,4096)
  if(ARG_OUTPUT_NAME)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME "${ARG_OUTPUT_NAME}")
  endif()
endfunction()

# veldro_add_onefile(<target>
#   MAIN <file-or-shared-library-target>   # first entry, packed under its file name
#   [DIRECTORY <dir>...]                   # every file below, at its path relative to <dir>
#   [FILES <file>...]                      # single files at the top level
#   [TEMPLATE <dirspec>] [COMPANY <s>] [PRODUCT <s>]
#   [FILE_VERSION <s>] [PRODUCT_VERSION <s>] [COMPRESSION_LEVEL <1-22>]
#   [ICON <file.ico>] [OUTPUT_NAME <name>]
#   [CONSOLE]                              # console subsystem, for command-line applications
#   [DEPENDS <target-or-file>...])         # what builds files into a DIRECTORY
# Creates the executable target <target>, rebuilt when any packed file changes. Unset values
# take the packer's defaults; VERSION is PRODUCT_VERSION, a hyphen, FILE_VERSION.
function(veldro_add_onefile target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "CONSOLE"
    "MAIN;TEMPLATE;COMPANY;PRODUCT;FILE_VERSION;PRODUCT_VERSION;COMPRESSION_LEVEL;ICON;OUTPUT_NAME"
    "DIRECTORY;FILES;DEPENDS")
  if(NOT ARG_MAIN)
    message(FATAL_ERROR "veldro_add_onefile(${target}): MAIN is required")
  endif()
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "veldro_add_onefile(${target}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()

  set(depends ${VELDRO_PACK_DEPENDS} ${ARG_DEPENDS})
  if(TARGET "${ARG_MAIN}")
    set(main "$<TARGET_FILE:${ARG_MAIN}>")
    list(APPEND depends "${ARG_MAIN}")
  else()
    get_filename_component(main "${ARG_MAIN}" ABSOLUTE)
    list(APPEND depends "${main}")
  endif()

  set(pack_args --main "${main}")
  foreach(dir IN LISTS ARG_DIRECTORY)
    get_filename_component(dir "${dir}" ABSOLUTE)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS "${dir}/*")
    list(APPEND depends ${found})
    list(APPEND pack_args "${dir}")
  endforeach()
  foreach(file IN LISTS ARG_FILES)
    if(TARGET "${file}")
      list(APPEND pack_args --file "$<TARGET_FILE:${file}>")
    else()
      get_filename_component(file "${file}" ABSOLUTE)
      list(APPEND pack_args --file "${file}")
    endif()
    list(APPEND depends "${file}")
  endforeach()

  foreach(option TEMPLATE COMPANY PRODUCT FILE_VERSION PRODUCT_VERSION)
    if(DEFINED ARG_${option})
      string(TOLOWER "--${option}" flag)
      string(REPLACE "_" "-" flag "${flag}")
      list(APPEND pack_args ${flag} "${ARG_${option}}")
    endif()
  endforeach()
  if(DEFINED ARG_COMPRESSION_LEVEL)
    list(APPEND pack_args --level "${ARG_COMPRESSION_LEVEL}")
  endif()
  if(ARG_ICON)
    get_filename_component(icon "${ARG_ICON}" ABSOLUTE)
    list(APPEND pack_args --icon "${icon}")
    list(APPEND depends "${icon}")
  endif()
  set(output_name "${target}")
  if(ARG_OUTPUT_NAME)
    set(output_name "${ARG_OUTPUT_NAME}")
  endif()

  set(object "${CMAKE_CURRENT_BINARY_DIR}/${target}.payload.obj")
  set(script "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc")
  add_custom_command(OUTPUT "${object}" "${script}" "${script}.manifest"
    COMMAND "${VELDRO_PACK}" pack ${pack_args} --object "${object}"
            --resource-script "${script}" --output-name "${output_name}.exe"
    DEPENDS ${depends}
    COMMENT "Packing ${target}"
    VERBATIM)
  set(console "")
  if(ARG_CONSOLE)
    set(console CONSOLE)
  endif()
  veldro_add_launcher(${target} OBJECT "${object}" OUTPUT_NAME "${output_name}" ${console})
  target_sources(${target} PRIVATE "${script}")
endfunction()
