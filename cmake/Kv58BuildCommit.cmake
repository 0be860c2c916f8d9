# Writes the source file that names the commit a build is made from (base/version.h,
# buildCommit). Runs at every build; the file is only rewritten when the commit changed, so an
# unchanged commit rebuilds nothing. "unknown" outside a git work tree or without git.
#   cmake -DSOURCE_DIR=... -DOUTPUT=... -P Kv58BuildCommit.cmake
set(commit unknown)
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} describe --tags --always --dirty
                  WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE described
                  RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT failed AND described MATCHES "^[A-Za-z0-9._+-]+$")
    set(commit ${described})
  endif()
endif()
file(CONFIGURE OUTPUT ${OUTPUT} CONTENT [[
// Written by cmake/Kv58BuildCommit.cmake at build time.
#include "base/version.h"

const char* kv58::buildCommit() {
    return "@commit@";
}
]] @ONLY)
