# systemd-analyze verify on a copy of the unit whose ExecStart= runs the built
# program.   cmake -DUNIT=<unit> -DEXE=<program> -DOUT=<folder> -P VerifyUnit.cmake
find_program(_analyze systemd-analyze)
if(NOT _analyze)
  message("SKIPPED: no systemd-analyze")
  return()
endif()
file(READ ${UNIT} _text)
string(REGEX REPLACE "ExecStart=[^ \n]+" "ExecStart=${EXE}" _text "${_text}")
file(MAKE_DIRECTORY ${OUT})
get_filename_component(_name ${UNIT} NAME)
file(WRITE ${OUT}/${_name} "${_text}")
execute_process(COMMAND ${_analyze} verify --man=no ${OUT}/${_name}
  RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
if(NOT _rc EQUAL 0 OR NOT _err STREQUAL "")
  message(FATAL_ERROR "systemd-analyze verify failed (${_rc}):\n${_out}${_err}")
endif()
