# Runs a generator into OUTPUT and compares the result with the COMMITTED file byte for byte.
# Run by CTest: cmake -DGENERATOR=... -DCOMMITTED=... -DOUTPUT=... -P regenerate_check.cmake
# (and -DEMULATOR=..., comma-separated, where the generator runs under one)
string(REPLACE "," ";" EMULATOR "${EMULATOR}")
execute_process(COMMAND ${EMULATOR} ${GENERATOR} ${OUTPUT} RESULT_VARIABLE result ERROR_VARIABLE message)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the generator failed: ${message}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${COMMITTED}
                RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "${COMMITTED} is not what its generator makes: regenerate it")
endif()
