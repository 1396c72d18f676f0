# Fails when a header or source of a lower folder includes one of a higher
# folder, or when code outside the windows includes a window header.
#   cmake -DSRC=<absolute src dir> -P cmake/CheckLayers.cmake
# (registered as the CTest "layers").
# Folders, lowest first: support <- link <- trend, pid, burner <- shell.
# Window files live in <folder>/ui/ and may include anything below them;
# the windows of the folders in _shell_free_windows include nothing from
# shell/ either: they take what they show, not the session.
cmake_policy(SET CMP0057 NEW)  # if(... IN_LIST ...)
if(NOT SRC)
  message(FATAL_ERROR "usage: cmake -DSRC=<src dir> -P CheckLayers.cmake")
endif()
set(_rank_support 0)
set(_rank_link 1)
set(_rank_trend 2)
set(_rank_pid 2)
set(_rank_burner 2)
set(_rank_shell 3)
set(_shell_free_windows pid)

file(GLOB_RECURSE _files RELATIVE ${SRC} ${SRC}/*.h ${SRC}/*.cpp)
set(_bad "")
foreach(_f ${_files})
  string(REGEX MATCH "^([a-z]+)/" _m "${_f}")
  set(_own "${CMAKE_MATCH_1}")
  if(NOT DEFINED _rank_${_own})
    continue()
  endif()
  set(_window FALSE)
  if(_f MATCHES "^[a-z]+/ui/")
    set(_window TRUE)
  endif()
  file(STRINGS ${SRC}/${_f} _includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[a-z]+/")
  foreach(_line ${_includes})
    string(REGEX MATCH "\"([a-z]+)/([^\"]+)\"" _m "${_line}")
    set(_dir "${CMAKE_MATCH_1}")
    set(_rest "${CMAKE_MATCH_2}")
    if(NOT DEFINED _rank_${_dir})
      continue()
    endif()
    if(NOT _window AND _rest MATCHES "^ui/")
      list(APPEND _bad "${_f} includes the window header ${_dir}/${_rest}")
    elseif(NOT _window AND _rank_${_dir} GREATER _rank_${_own})
      list(APPEND _bad "${_f} includes ${_dir}/${_rest} from a higher folder")
    elseif(_window AND _dir STREQUAL "shell" AND _own IN_LIST _shell_free_windows)
      list(APPEND _bad "${_f} includes ${_dir}/${_rest}: its windows take what they show")
    elseif(_window AND _rest MATCHES "^ui/" AND _rank_${_dir} GREATER _rank_${_own})
      # A window may use any core header, but windows of a lower folder
      # know nothing of the windows above them.
      list(APPEND _bad "${_f} includes the window header ${_dir}/${_rest} from a higher folder")
    endif()
  endforeach()
endforeach()
if(_bad)
  list(LENGTH _bad _n)
  string(REPLACE ";" "\n  " _text "${_bad}")
  message(FATAL_ERROR "${_n} include(s) against the folder order:\n  ${_text}")
endif()
message(STATUS "folder order kept by ${SRC}")
