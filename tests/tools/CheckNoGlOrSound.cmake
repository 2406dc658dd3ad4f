cmake_minimum_required(VERSION 3.25)
# cmake -DBINARY=<program> -P CheckNoGlOrSound.cmake
# Fails when the program loads an OpenGL or sound library: the command-line tools must run on
# a server that has neither.
execute_process(COMMAND ldd ${BINARY} OUTPUT_VARIABLE libraries ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ldd ${BINARY} failed: ${errors}")
endif()
string(REGEX MATCHALL "lib(GL|GLU|GLX|GLdispatch|EGL|OpenGL|openal|sndfile)\\.so[.0-9]*" found "${libraries}")
if(found)
  list(REMOVE_DUPLICATES found)
  string(JOIN ", " found ${found})
  message(FATAL_ERROR "${BINARY} loads ${found}")
endif()
