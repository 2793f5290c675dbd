# Runs the conformance program of this build (under its emulator) and of the native build, and
# compares their outputs byte for byte.
# Run by CTest: cmake -DCROSS=... -DEMULATOR=... (comma-separated) -DNATIVE=... -DWORK_DIR=... -P
string(REPLACE "," ";" EMULATOR "${EMULATOR}")
if(NOT EXISTS "${NATIVE}")
  message(FATAL_ERROR "no native conformance program at ${NATIVE}: build the default preset first "
                      "(or set ANSICRYPT_NATIVE_BUILD_DIR)")
endif()
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND ${NATIVE} ${WORK_DIR}/native.txt RESULT_VARIABLE native_result
                ERROR_VARIABLE native_error)
if(NOT native_result EQUAL 0)
  message(FATAL_ERROR "the native conformance program failed: ${native_error}")
endif()
execute_process(COMMAND ${EMULATOR} ${CROSS} ${WORK_DIR}/cross.txt RESULT_VARIABLE cross_result
                ERROR_VARIABLE cross_error)
if(NOT cross_result EQUAL 0)
  message(FATAL_ERROR "this build's conformance program failed: ${cross_error}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/native.txt
                        ${WORK_DIR}/cross.txt RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  file(READ ${WORK_DIR}/native.txt native)
  file(READ ${WORK_DIR}/cross.txt cross)
  message(FATAL_ERROR "results differ from the native build's:\nnative:\n${native}\nthis build:\n${cross}")
endif()
file(STRINGS ${WORK_DIR}/cross.txt lines)
list(LENGTH lines count)
message(STATUS "${count} batteries give the native build's results")
