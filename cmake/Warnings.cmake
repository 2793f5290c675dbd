# Warning flags for the project's own targets; errors too when ANSICRYPT_WERROR is on.
function(ansicrypt_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion
                                           -Wshadow -Wnon-virtual-dtor -Wold-style-cast)
  # GCC 12 reports -Wrestrict inside std::string's own code at -O3 for "literal" + string
  # (GCC bug 105329, fixed in 13); it concerns the standard library, not our code.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(ANSICRYPT_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
