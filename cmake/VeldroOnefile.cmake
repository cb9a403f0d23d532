# veldro_add_onefile(): turns an application (main DLL, folders, single files) into one
# onefile exe. The packer runs at build time as a native program: in a cross build it is
# built for the host by a nested configure of this tree; on Windows it is built natively.
include_guard(GLOBAL)

if(VELDRO_ONEFILE_INSTALLED)
  # An installed package (VeldroOnefileConfig.cmake) has set the packer already.
elseif(CMAKE_CROSSCOMPILING)
  include(ExternalProject)
  set(_host_tools "${CMAKE_BINARY_DIR}/host-tools")
  # One single-configuration build serves every configuration of this tree, so that the tools
  # lie at one path (a multi-configuration generator would add a folder per configuration).
  set(_host_generator "${CMAKE_GENERATOR}")
  if(_host_generator STREQUAL "Ninja Multi-Config")
    set(_host_generator Ninja)
  endif()
  # The nested build runs when one of its sources changes, not on every build of this tree.
  file(GLOB_RECURSE _host_sources "${VELDRO_ROOT}/CMakeLists.txt" "${VELDRO_ROOT}/pack/*"
    "${VELDRO_ROOT}/format/*" "${VELDRO_ROOT}/tests/fixtures/*")
  ExternalProject_Add(veldro_host_tools
    SOURCE_DIR "${VELDRO_ROOT}"
    BINARY_DIR "${_host_tools}"
    CMAKE_GENERATOR "${_host_generator}"
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DVELDRO_HOST_TOOLS_ONLY=ON -DBUILD_TESTING=OFF
    BUILD_COMMAND "${CMAKE_COMMAND}" --build .
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS "${_host_tools}/pack/veldro-pack" "${_host_tools}/tests/fixtures/veldro-fixture")
  ExternalProject_Add_StepDependencies(veldro_host_tools build ${_host_sources})
  set(VELDRO_PACK "${_host_tools}/pack/veldro-pack" CACHE INTERNAL "")
  set(VELDRO_FIXTURE "${_host_tools}/tests/fixtures/veldro-fixture" CACHE INTERNAL "")
  set(VELDRO_PACK_DEPENDS veldro_host_tools "${VELDRO_PACK}" CACHE INTERNAL "")
else()
  set(VELDRO_PACK "$<TARGET_FILE:veldro-pack>" CACHE INTERNAL "")
  set(VELDRO_PACK_DEPENDS veldro-pack CACHE INTERNAL "")
endif()

# How every launcher exe links (the linked ones here and the prebuilt stubs): a wide entry
# point and the subsystem (-mwindows or -mconsole), everything static so the exe imports only
# system DLLs; no time stamp so that the same inputs give the same bytes; a roomy stack reserve
# (committed only as used) for the directory walks. Sections page-aligned in the file, so that
# a loader can map the payload from the file as it is read instead of copying it whole at
# start (Wine copies sections that are not; the child would hold the whole payload).
function(_veldro_link_as_launcher target subsystem_flag)
  target_link_options(${target} PRIVATE
    -municode ${subsystem_flag} -static -s -Wl,--no-insert-timestamp -Wl,--stack,8388608
    -Wl,--file-alignment,4096)
endfunction()

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
  _veldro_link_as_launcher(${target} ${subsystem_flag})
  if(ARG_OUTPUT_NAME)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME "${ARG_OUTPUT_NAME}")
  endif()
endfunction()

# veldro_add_onefile(<target>
#   MAIN <file-or-shared-library-target>   # first entry, packed under its file name
#   [DIRECTORY <dir>...]                   # every file below, at its path relative to <dir>
#   [FILES <file-or-target>...]            # single files at the top level
#   [TEMPLATE <dirspec>] [COMPANY <s>] [PRODUCT <s>]
#   [FILE_VERSION <s>] [PRODUCT_VERSION <s>] [COMPRESSION_LEVEL <1-22>]
#   [ICON <file.ico>] [OUTPUT_NAME <name>]
#   [STRICT] [SYSTEM_DLLS <name>...]       # refuse DLLs imported but not packed; DLLs the
#                                          # target system has besides Windows' own
#   [CONSOLE]                              # console subsystem, for command-line applications
#   [DEPENDS <target-or-file>...])         # what builds files into a DIRECTORY
# Creates the executable target <target>. MAIN, DIRECTORY and FILES take generator
# expressions (a relative result counts from the current source folder; FILES and DIRECTORY
# expressions may give lists, also empty ones). The exe is packed again when a packed file
# changes and when a file appears in, leaves or is renamed in a DIRECTORY (the packer writes a
# depfile); a DEPENDS custom target, whose outputs the build cannot know, makes the packer run
# on every build, and it then writes nothing while the files are unchanged. COMPANY and
# PRODUCT default to PROJECT_NAME, the versions to PROJECT_VERSION (when the project has one;
# otherwise the packer's defaults); VERSION is PRODUCT_VERSION, a hyphen, FILE_VERSION.
function(veldro_add_onefile target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "STRICT;CONSOLE"
    "MAIN;TEMPLATE;COMPANY;PRODUCT;FILE_VERSION;PRODUCT_VERSION;COMPRESSION_LEVEL;ICON;OUTPUT_NAME"
    "DIRECTORY;FILES;DEPENDS;SYSTEM_DLLS")
  if(NOT ARG_MAIN)
    message(FATAL_ERROR "veldro_add_onefile(${target}): MAIN is required")
  endif()
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "veldro_add_onefile(${target}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  foreach(option COMPANY PRODUCT)
    if("${ARG_${option}}" STREQUAL "")
      set(ARG_${option} "${PROJECT_NAME}")
    endif()
  endforeach()
  foreach(option FILE_VERSION PRODUCT_VERSION)
    if("${ARG_${option}}" STREQUAL "")
      set(ARG_${option} "${PROJECT_VERSION}")
    endif()
  endforeach()

  set(depends ${VELDRO_PACK_DEPENDS} ${ARG_DEPENDS})
  if(TARGET "${ARG_MAIN}")
    set(main "$<TARGET_FILE:${ARG_MAIN}>")
    list(APPEND depends "${ARG_MAIN}")
  else()
    _veldro_input_path(main "${ARG_MAIN}")
    list(APPEND depends "${main}")
  endif()

  set(pack_args --main "${main}")
  foreach(file IN LISTS ARG_FILES)
    if(TARGET "${file}")
      list(APPEND pack_args --file "$<TARGET_FILE:${file}>")
    elseif(file MATCHES [[\$<]])
      # One --file before each path the expression gives, none when it gives nothing.
      list(APPEND pack_args
        "$<$<NOT:$<STREQUAL:${file},>>:--file$<SEMICOLON>$<JOIN:${file},$<SEMICOLON>--file$<SEMICOLON>>>")
    else()
      get_filename_component(file "${file}" ABSOLUTE)
      list(APPEND pack_args --file "${file}")
    endif()
    list(APPEND depends "${file}")
  endforeach()
  foreach(option TEMPLATE COMPANY PRODUCT FILE_VERSION PRODUCT_VERSION)
    if(NOT "${ARG_${option}}" STREQUAL "")
      string(TOLOWER "--${option}" flag)
      string(REPLACE "_" "-" flag "${flag}")
      list(APPEND pack_args ${flag} "${ARG_${option}}")
    endif()
  endforeach()
  if(DEFINED ARG_COMPRESSION_LEVEL)
    list(APPEND pack_args --level "${ARG_COMPRESSION_LEVEL}")
  endif()
  if(ARG_ICON)
    _veldro_input_path(icon "${ARG_ICON}")
    list(APPEND pack_args --icon "${icon}")
    list(APPEND depends "${icon}")
  endif()
  if(ARG_STRICT)
    list(APPEND pack_args --strict)
  endif()
  foreach(dll IN LISTS ARG_SYSTEM_DLLS)
    list(APPEND pack_args --system-dll "${dll}")
  endforeach()
  set(output_name "${target}")
  if(ARG_OUTPUT_NAME)
    set(output_name "${ARG_OUTPUT_NAME}")
  endif()

  # The outputs, one set per configuration under a multi-configuration generator.
  set(base "${CMAKE_CURRENT_BINARY_DIR}/${target}")
  get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
  if(multi_config)
    string(APPEND base "-$<CONFIG>")
  endif()
  set(object "${base}.payload.obj")
  set(script "${base}.rc")
  list(APPEND pack_args --object "${object}" --resource-script "${script}"
    --output-name "${output_name}.exe" --depfile "${base}.pack.d" --stamp "${base}.pack-stamp" --)
  foreach(dir IN LISTS ARG_DIRECTORY)
    _veldro_input_path(dir "${dir}")
    list(APPEND pack_args "${dir}")
  endforeach()

  # The depfile names build-tree files as the build does (relative to its top), so that a
  # DLL built into a DIRECTORY is seen as that target's output.
  cmake_policy(PUSH)
  if(POLICY CMP0116)
    cmake_policy(SET CMP0116 NEW)
  endif()
  add_custom_command(OUTPUT "${object}" "${script}" "${script}.manifest"
    COMMAND "${VELDRO_PACK}" pack ${pack_args}
    DEPENDS ${depends}
    DEPFILE "${base}.pack.d"
    WORKING_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}"
    COMMENT "Packing ${target}"
    VERBATIM COMMAND_EXPAND_LISTS)
  cmake_policy(POP)
  set(console "")
  if(ARG_CONSOLE)
    set(console CONSOLE)
  endif()
  veldro_add_launcher(${target} OBJECT "${object}" OUTPUT_NAME "${output_name}" ${console})
  target_sources(${target} PRIVATE "${script}")
  if(ARG_DEPENDS)
    set_target_properties(${target} PROPERTIES VELDRO_PACK_OBJECT "${object}" VELDRO_DEPENDS "${ARG_DEPENDS}")
    # A deferred call reads its arguments when it runs: the target's name is spelled out now.
    cmake_language(EVAL CODE "cmake_language(DEFER CALL _veldro_pack_after_custom_targets [[${target}]])")
  endif()
endfunction()

# A plain path made absolute from the current source folder; a generator expression as it is.
function(_veldro_input_path out path)
  if(NOT path MATCHES [[\$<]])
    get_filename_component(path "${path}" ABSOLUTE)
  endif()
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

# Run at the end of the folder that called veldro_add_onefile, when every target is known: a
# custom target among DEPENDS may write into a DIRECTORY anything at any time, so the packer
# runs on every build after it (and its input stamp keeps that cheap and the exe untouched).
function(_veldro_pack_after_custom_targets target)
  get_target_property(depends ${target} VELDRO_DEPENDS)
  get_target_property(object ${target} VELDRO_PACK_OBJECT)
  foreach(dependency IN LISTS depends)
    if(TARGET "${dependency}")
      get_target_property(type "${dependency}" TYPE)
      if(type STREQUAL "UTILITY")
        set(always "${CMAKE_CURRENT_BINARY_DIR}/${target}.pack-always")
        add_custom_command(OUTPUT "${always}" COMMAND "${CMAKE_COMMAND}" -E true VERBATIM)
        set_source_files_properties("${always}" PROPERTIES SYMBOLIC TRUE)
        add_custom_command(OUTPUT "${object}" APPEND DEPENDS "${always}")
        return()
      endif()
    endif()
  endforeach()
endfunction()
