# Runs one fuzzer for SECONDS over its seeds, collecting what it finds in FOUND (made first).
file(MAKE_DIRECTORY "${FOUND}")
execute_process(COMMAND "${FUZZER}" -max_total_time=${SECONDS} -seed=1 -print_final_stats=1
                        "${FOUND}" "${SEEDS}"
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} ended with ${result}")
endif()
