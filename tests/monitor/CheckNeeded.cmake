# Fails when the program's NEEDED list names Qt GUI or Qt Widgets.
#   cmake -DEXE=<program> -P CheckNeeded.cmake
execute_process(COMMAND readelf -d ${EXE} OUTPUT_VARIABLE _dyn RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0 OR NOT _dyn MATCHES "NEEDED")
  message(FATAL_ERROR "readelf -d ${EXE} failed (${_rc})")
endif()
string(REGEX MATCHALL "\\[lib[^]]+\\]" _needed "${_dyn}")
message(STATUS "${EXE} needs: ${_needed}")
if(_needed MATCHES "Qt6Gui|Qt6Widgets|Qt6OpenGL")
  message(FATAL_ERROR "${EXE} needs a Qt GUI library")
endif()
