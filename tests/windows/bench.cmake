# The benchmark's programs (bench/) and a smoke test that runs the whole benchmark once at
# tiny sizes, so that it keeps working: every contender must run, exit 0, leave no folder
# behind and report its figures.
add_subdirectory("${VELDRO_ROOT}/bench" "${CMAKE_BINARY_DIR}/bench")

add_test(NAME bench_smoke
  COMMAND "${VELDRO_PYTHON3}" "${VELDRO_ROOT}/bench/bench.py" --build "${CMAKE_BINARY_DIR}"
          --set tiny --runs 1 --out "${CMAKE_BINARY_DIR}/bench/tiny-results.json")
set_tests_properties(bench_smoke PROPERTIES FIXTURES_REQUIRED wine
  ENVIRONMENT "WINEPREFIX=${VELDRO_WINEPREFIX};WINEDEBUG=-all" TIMEOUT 300)
