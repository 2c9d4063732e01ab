# Writes OUTPUT, a header naming the commit the sources were built from (empty when they are not a
# git checkout). Run at every build; the header is rewritten only when its text changes, so a build
# from an unchanged checkout recompiles nothing.
execute_process(COMMAND git -C "${SOURCE_DIR}" rev-parse --short=12 HEAD
  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed ERROR_QUIET)
if(failed)
  set(commit "")
else()
  execute_process(COMMAND git -C "${SOURCE_DIR}" diff --quiet HEAD -- RESULT_VARIABLE changed ERROR_QUIET)
  if(changed)
    string(APPEND commit " with local changes")
  endif()
endif()
file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT "#pragma once\n#define KAPTIV_BUILD_COMMIT \"${commit}\"\n")
