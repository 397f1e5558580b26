# cmake -DLIBRARY=<path> -P CheckExports.cmake
# Fails unless the library's defined dynamic symbols are exactly the four
# text look-ups.
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[0-9a-fA-F]+ [TWDBRV] [^\n]+" entries "${symbols}")
set(names)
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^[0-9a-fA-F]+ [TWDBRV] " "" name "${entry}")
  list(APPEND names ${name})
endforeach()
list(SORT names)
set(expected Thes_CaptionGetText Thes_CommErrorGetText Thes_ErrorGetText Thes_TipGetText)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exported: ${names}")
endif()
message(STATUS "exports: ${names}")
