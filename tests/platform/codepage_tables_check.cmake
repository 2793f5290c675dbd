# Regenerates every code page's tables into a scratch folder and compares them byte for byte with
# the ones the library was built from; then checks that the generator refuses damaged input.
# Run by CTest: cmake -DGENERATOR=... -DDATA_DIR=... -DBUILT_DIR=... -DWORK_DIR=... -DPAGES=... -P
# (and -DEMULATOR=..., comma-separated, where the generator runs under one)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
string(REPLACE "," ";" PAGES "${PAGES}")
string(REPLACE "," ";" EMULATOR "${EMULATOR}")

function(generate expect_success)
  execute_process(COMMAND ${EMULATOR} ${GENERATOR} ${ARGN} RESULT_VARIABLE result ERROR_VARIABLE message)
  if(expect_success AND NOT result EQUAL 0)
    message(FATAL_ERROR "generator failed on ${ARGN}: ${message}")
  elseif(NOT expect_success AND result EQUAL 0)
    message(FATAL_ERROR "generator accepted damaged input ${ARGN}")
  endif()
endfunction()

function(compare name)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/${name} ${BUILT_DIR}/${name}
                  RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    message(FATAL_ERROR "${name}: regenerating does not reproduce the built tables")
  endif()
endfunction()

foreach(page ${PAGES})
  generate(TRUE ${DATA_DIR}/bestfit${page}.txt ${WORK_DIR}/code_page_${page}.cpp)
  compare(code_page_${page}.cpp)
endforeach()
generate(TRUE --registry ${WORK_DIR}/code_pages.cpp ${PAGES})
compare(code_pages.cpp)

# Damaged copies of one file: cut off, a record count that does not match, a byte mapped twice.
file(READ ${DATA_DIR}/bestfit1252.txt original)
string(SUBSTRING "${original}" 0 20000 cut)
string(REPLACE "MBTABLE 256" "MBTABLE 255" miscounted "${original}")
string(REPLACE "0x41\t0x0041" "0x40\t0x0041" twice "${original}")
foreach(damage cut miscounted twice)
  file(WRITE ${WORK_DIR}/${damage}.txt "${${damage}}")
  generate(FALSE ${WORK_DIR}/${damage}.txt ${WORK_DIR}/${damage}.cpp)
endforeach()
message(STATUS "tables reproduced for ${PAGES}; damaged input refused")
