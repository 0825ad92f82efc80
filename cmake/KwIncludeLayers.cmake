# The layering read at the level of includes: every #include "folder/..."
# of each folder's sources is checked against that folder's may-link row,
# so a header pulled in from a library the row does not allow fails even
# when the link happens to work through another library.
#   cmake -DKW_ROOT=<source tree> -DKW_LAYERS=<rows file> -P KwIncludeLayers.cmake
# Prints one line per include outside its row and fails when there is one.
cmake_minimum_required(VERSION 3.25)
include(${KW_LAYERS})

# folder -> row, longest folders first so data/engine wins over data.
set(folders "")
foreach(pair IN LISTS KW_LAYER_FOLDERS)
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 folder)
  list(GET pair 1 row)
  set(row_of_${folder} ${row})
  list(APPEND folders ${folder})
endforeach()

function(folder_of path out)
  set(best "")
  foreach(folder IN LISTS folders)
    string(LENGTH "${folder}" n)
    string(LENGTH "${best}" b)
    if(path MATCHES "^${folder}/" AND n GREATER b)
      set(best ${folder})
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

set(faults 0)
foreach(folder IN LISTS folders)
  set(row ${row_of_${folder}})
  file(GLOB_RECURSE sources RELATIVE ${KW_ROOT} ${KW_ROOT}/${folder}/*.h ${KW_ROOT}/${folder}/*.cpp)
  foreach(source IN LISTS sources)
    folder_of(${source} own)
    if(NOT own STREQUAL folder)
      continue() # a deeper folder with its own row
    endif()
    file(STRINGS ${KW_ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" included "${line}")
      folder_of(${included} target)
      if(target STREQUAL "" OR target STREQUAL folder OR KW_MAY_LINK_${row} STREQUAL "ANY")
        continue()
      endif()
      if(NOT "Kitwarden::${row_of_${target}}" IN_LIST KW_MAY_LINK_${row})
        message("Layering: ${source} includes ${included}, outside its row (${row})")
        math(EXPR faults "${faults} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()
if(faults GREATER 0)
  message(FATAL_ERROR "Layering: ${faults} include(s) outside their rows")
endif()
message("Layering: every include within its row")
