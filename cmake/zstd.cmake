# zstd as static libraries for Windows, built from Debian's source package that scripts/setup
# fetches into build/deps/zstd (or any zstd source tree given as VELDRO_ZSTD_SOURCE_DIR):
# veldro_zstd decodes (all the launcher needs); veldro_zstd_full also encodes (the packer).
set(VELDRO_ZSTD_SOURCE_DIR "${VELDRO_ROOT}/build/deps/zstd" CACHE PATH "zstd source tree")
if(NOT EXISTS "${VELDRO_ZSTD_SOURCE_DIR}/lib/zstd.h")
  message(FATAL_ERROR "zstd source not found in ${VELDRO_ZSTD_SOURCE_DIR}; run scripts/setup")
endif()

set(_zstd_lib "${VELDRO_ZSTD_SOURCE_DIR}/lib")
file(GLOB _zstd_common "${_zstd_lib}/common/*.c")
file(GLOB _zstd_decompress "${_zstd_lib}/decompress/*.c")
file(GLOB _zstd_compress "${_zstd_lib}/compress/*.c")

foreach(lib veldro_zstd veldro_zstd_full)
  if(lib STREQUAL veldro_zstd)
    add_library(${lib} STATIC ${_zstd_common} ${_zstd_decompress})
  else()
    add_library(${lib} STATIC EXCLUDE_FROM_ALL ${_zstd_common} ${_zstd_decompress} ${_zstd_compress})
  endif()
  target_include_directories(${lib} PUBLIC "$<BUILD_INTERFACE:${_zstd_lib}>")
  target_compile_definitions(${lib} PRIVATE ZSTD_LEGACY_SUPPORT=0 DEBUGLEVEL=0 ZSTD_NO_TRACE)
  target_compile_options(${lib} PRIVATE -O3)
endforeach()
set_target_properties(veldro_zstd PROPERTIES EXPORT_NAME zstd)
