# Writes the man page of the tool with help2man from the tool's own --help texts: the program's
# and each command's, so that the page cannot drift from the tool. Run as
#   cmake -DTOOL=... -DINCLUDE=man/ansicrypt.h2m -DWORK=dir -DOUTPUT=ansicrypt.1 -P ManPage.cmake
set(commands md5 des base64 encrypt decrypt encode decode digest selftest)
set(generated "[COMMANDS]\n")
foreach(command ${commands})
  execute_process(COMMAND ${TOOL} ${command} --help OUTPUT_VARIABLE help COMMAND_ERROR_IS_FATAL ANY)
  # The texts go into roff as they are: backslashes doubled, every line started with the empty
  # escape \& (so that a leading dot or quote is no request) and hyphens written as minus signs.
  string(REPLACE "\\" "\\\\" help "${help}")
  string(REPLACE "-" "\\-" help "${help}")
  string(STRIP "${help}" help)
  string(REPLACE "\n" "\n\\&" help "\\&${help}")
  string(APPEND generated ".SS ${command}\n.nf\n${help}\n.fi\n")
endforeach()
file(WRITE ${WORK}/commands.h2m "${generated}")
# The texts are UTF-8 ("\u0100 -> A"): help2man reads and writes them so in a UTF-8 locale, where
# its default C locale would turn each such character into "?".
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8
          help2man --locale=C.UTF-8 --no-info --no-discard-stderr --section 1 --name
          "byte-exact DES, triple DES, MD5 and Base64 of a legacy Windows program"
          --include ${INCLUDE} --include ${WORK}/commands.h2m --output ${OUTPUT} ${TOOL}
  COMMAND_ERROR_IS_FATAL ANY)
