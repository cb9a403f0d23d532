# A private, fresh target directory, and clean-up at the end of a session for a launcher
# without a console.
veldro_fixture_launcher(fixture_fixed_target plain --template "{TEMP}\\veldro_fixed_target")
veldro_gtest(security_tests LAUNCHER SOURCES security_test.cpp DEPENDS fixture_fixed_target probe)

# Logoff/shutdown under a virtual display: a windowed launcher without a console removes its
# directory when the session ends (wineboot --end-session).
add_test(NAME session_end
  COMMAND "${VELDRO_ROOT}/tests/security/session_end.sh" "${CMAKE_BINARY_DIR}"
          "$<TARGET_FILE:fixture_session_probe>" "${CMAKE_CURRENT_BINARY_DIR}/session_end")
set_tests_properties(session_end PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
veldro_add_onefile(fixture_session_probe MAIN probe)
