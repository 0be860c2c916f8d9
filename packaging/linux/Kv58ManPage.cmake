# Writes a manual page from a program's own --help text, so that the page says what the
# program says. Run at build time after the program is built:
#   cmake -DPROGRAM=<path> -DNAME=kv58ctl -DSUMMARY="..." -DOUTPUT=<file.1> [-DCOMMANDS=ON]
#         -DVERSION=2.08.000 -P Kv58ManPage.cmake
# With COMMANDS=ON every command of the overview ("  name  synopsis" lines) gets a section
# with its own --help text. The help texts are kept as they are written (no filling), in a
# fixed-width block, so their tables stay aligned.

# Troff escapes: backslashes, and a line that starts with "." or "'" would be a request.
function(kv58_troff_block text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} ".nf\n.ft CR\n${text}\n.ft R\n.fi\n" PARENT_SCOPE)
endfunction()

function(kv58_help out)
  execute_process(COMMAND ${PROGRAM} ${ARGN} --help OUTPUT_VARIABLE text RESULT_VARIABLE rc
                  ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR text STREQUAL "")
    message(FATAL_ERROR "${PROGRAM} ${ARGN} --help failed (${rc}): ${err}")
  endif()
  string(REGEX REPLACE "\n+$" "" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

kv58_help(overview)
string(TOUPPER "${NAME}" title)
kv58_troff_block("${overview}" block)
set(page ".TH ${title} 1 \"\" \"${NAME} ${VERSION}\" \"KV58 Configurator\"\n")
string(APPEND page ".SH NAME\n${NAME} \\- ${SUMMARY}\n.SH DESCRIPTION\n${block}")

if(COMMANDS)
  string(APPEND page ".SH COMMANDS\n")
  string(REGEX MATCHALL "\n  [a-z][a-z-]+ +[^\n]+" lines "${overview}")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^\n  ([a-z][a-z-]+) .*" "\\1" command "${line}")
    kv58_help(text ${command})
    kv58_troff_block("${text}" block)
    string(APPEND page ".SS ${command}\n${block}")
  endforeach()
endif()

string(APPEND page ".SH FILES\n"
  ".TP\n.I KV58.ini\n"
  "The settings file: beside the program; for an installed program, when there is none beside "
  "it, \\fI$XDG_CONFIG_HOME/kv58/KV58.ini\\fR (\\fI~/.config/kv58/KV58.ini\\fR), then "
  "\\fI/etc/kv58/KV58.ini\\fR, then the sample \\fI/usr/share/kv58/KV58.ini\\fR.\n"
  ".TP\n.I /usr/share/kv58/\n"
  "The sample settings file, the simulated transmitter's password file KV58-PW.TXT and the "
  "loader patch PATCH.TXT. Password files and PATCH.TXT are looked for in the working folder "
  "first, then beside the settings file, then here.\n"
  ".SH SEE ALSO\n\\fBKV58\\fR(1), \\fBkv58ctl\\fR(1), \\fBkv58-sim\\fR(1)\n")
file(WRITE ${OUTPUT} "${page}")
