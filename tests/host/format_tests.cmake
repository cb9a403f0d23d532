# format/'s host tests, which sit beside the code in format/: one program over the library the
# packer links, with the tests themselves built with AddressSanitizer and UBSan.
set(_format_tests build_inputs command_line dir_template entry_name entry_stream run_tokens)
list(TRANSFORM _format_tests REPLACE "(.+)" "${VELDRO_ROOT}/format/\\1_test.cpp")
add_executable(format_tests ${_format_tests})
target_link_libraries(format_tests PRIVATE veldro_format GTest::gtest_main)
# README.md's placeholder table is checked against the code's.
target_compile_definitions(format_tests PRIVATE VELDRO_SOURCE_DIR="${VELDRO_ROOT}")
set(_format_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined)
target_compile_options(format_tests PRIVATE ${_format_sanitizers})
target_link_options(format_tests PRIVATE ${_format_sanitizers})
add_test(NAME format_tests COMMAND format_tests)
