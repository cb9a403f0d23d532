# `cmake --install` gives a package that other projects use with
#   find_package(VeldroOnefile CONFIG)  ->  veldro_add_onefile()
# It holds the launcher library and entry objects, the packer (a host program in a cross
# build), and the CMake files.
include(GNUInstallDirs)
set(_config_dir "${CMAKE_INSTALL_LIBDIR}/cmake/VeldroOnefile")

install(TARGETS veldro_launcher veldro_launcher_entry veldro_zstd
  EXPORT VeldroOnefileTargets
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  OBJECTS DESTINATION "${CMAKE_INSTALL_LIBDIR}/veldro-onefile")
install(EXPORT VeldroOnefileTargets NAMESPACE VeldroOnefile:: DESTINATION "${_config_dir}")

if(CMAKE_CROSSCOMPILING)
  install(PROGRAMS "${VELDRO_PACK}" DESTINATION "${CMAKE_INSTALL_BINDIR}")
  set(_pack_name veldro-pack)
else()
  install(TARGETS veldro-pack RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  set(_pack_name veldro-pack${CMAKE_EXECUTABLE_SUFFIX})
endif()

file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/VeldroOnefileConfig.cmake" "\
# Veldro onefile package: veldro_add_onefile() and what it links.
include(\"\${CMAKE_CURRENT_LIST_DIR}/VeldroOnefileTargets.cmake\")
get_filename_component(_veldro_prefix \"\${CMAKE_CURRENT_LIST_DIR}/../../..\" ABSOLUTE)
set(VELDRO_ONEFILE_INSTALLED ON)
set(VELDRO_PACK \"\${_veldro_prefix}/${CMAKE_INSTALL_BINDIR}/${_pack_name}\")
set(VELDRO_PACK_DEPENDS \"\${VELDRO_PACK}\")
enable_language(RC)
include(\"\${CMAKE_CURRENT_LIST_DIR}/VeldroOnefile.cmake\")
")
# find_package(VeldroOnefile 0.1 ...) accepts 0.1.x: before 1.0 a minor release may change
# what veldro_add_onefile() takes.
include(CMakePackageConfigHelpers)
write_basic_package_version_file("${CMAKE_CURRENT_BINARY_DIR}/VeldroOnefileConfigVersion.cmake"
  VERSION "${PROJECT_VERSION}" COMPATIBILITY SameMinorVersion)
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/VeldroOnefileConfig.cmake"
  "${CMAKE_CURRENT_BINARY_DIR}/VeldroOnefileConfigVersion.cmake"
  "${VELDRO_ROOT}/cmake/VeldroOnefile.cmake" "${VELDRO_ROOT}/cmake/mingw-w64-x86_64.cmake"
  DESTINATION "${_config_dir}")
