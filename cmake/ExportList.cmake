# The names that native/quorlind.def lists after EXPORTS: the one list of the
# library's exports, read by the link and by every check of an export table.
# Usable from a project and from a `cmake -P` script alike.
function(quorlind_read_export_list def_file out_var)
  file(READ "${def_file}" def)
  # Comments run from ';' to the end of the line; the first word of every
  # line after EXPORTS is a name.
  string(REGEX REPLACE ";[^\n]*" "" def "${def}")
  string(REGEX REPLACE "^.*EXPORTS[^\n]*\n" "" def "${def}")
  string(REGEX MATCHALL "(^|\n)[ \t]*[A-Za-z_][A-Za-z0-9_]*" words "${def}")
  set(names)
  foreach(word IN LISTS words)
    string(STRIP "${word}" word)
    list(APPEND names ${word})
  endforeach()
  if(NOT names)
    message(FATAL_ERROR "${def_file} lists no exports")
  endif()
  set(${out_var} ${names} PARENT_SCOPE)
endfunction()

# `cmake -DDEF=<quorlind.def> -P ExportList.cmake` prints the names, one a
# line, for scripts outside the build.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  quorlind_read_export_list("${DEF}" names)
  list(JOIN names "\n" names)
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${names}")
endif()
