# zstd as a static library for Windows, built from Debian's source package that scripts/setup
# fetches into build/deps/zstd (or any zstd source tree given as VELDRO_ZSTD_SOURCE_DIR).
set(VELDRO_ZSTD_SOURCE_DIR "${VELDRO_ROOT}/build/deps/zstd" CACHE PATH "zstd source tree")
if(NOT EXISTS "${VELDRO_ZSTD_SOURCE_DIR}/lib/zstd.h")
  message(FATAL_ERROR "zstd source not found in ${VELDRO_ZSTD_SOURCE_DIR}; run scripts/setup")
endif()

set(_zstd_lib "${VELDRO_ZSTD_SOURCE_DIR}/lib")
file(GLOB _zstd_sources
  "${_zstd_lib}/common/*.c"
  "${_zstd_lib}/compress/*.c"
  "${_zstd_lib}/decompress/*.c")
add_library(veldro_zstd STATIC ${_zstd_sources})
target_include_directories(veldro_zstd PUBLIC "${_zstd_lib}")
target_compile_definitions(veldro_zstd PRIVATE ZSTD_LEGACY_SUPPORT=0 DEBUGLEVEL=0 ZSTD_NO_TRACE)
target_compile_options(veldro_zstd PRIVATE -O3)
set_target_properties(veldro_zstd PROPERTIES POSITION_INDEPENDENT_CODE OFF)
