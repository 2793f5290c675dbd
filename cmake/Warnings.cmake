# Warning flags for the project's own targets; errors too when ANSICRYPT_WERROR is on.
function(ansicrypt_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion
                                           -Wshadow -Wnon-virtual-dtor -Wold-style-cast)
  if(ANSICRYPT_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
