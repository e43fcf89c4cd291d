# Fails when a source file includes a header from a layer above its own. Layers, lowest first:
#   text, dom, parser, dtd, front, app, then app/gui and tools (which may not include each other).
# Every include form counts: "…" and <…>, with or without blanks before and after the "#".
# Run: cmake -DSOURCE_DIR=<repository> -P cmake/check_layers.cmake
set(folders text dom parser dtd front app app/gui tools)
set(rank_text 0)
set(rank_dom 1)
set(rank_parser 2)
set(rank_dtd 3)
set(rank_front 4)
set(rank_app 5)
set(rank_app/gui 6)
set(rank_tools 6)

set(include_line "^[ \t]*#[ \t]*include[ \t]*[<\"][^>\"]+[>\"]")
set(violations "")
foreach(folder ${folders})
  file(GLOB files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(file ${files})
    file(STRINGS ${file} includes REGEX "${include_line}")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*" "\\1" path "${line}")
      # The layer of a path is app/gui for anything below it, else its first folder; a path
      # without a folder is a file beside the includer or a system header.
      if(path MATCHES "^app/gui/")
        set(target app/gui)
      elseif(path MATCHES "^([^/]+)/")
        set(target ${CMAKE_MATCH_1})
      else()
        continue()
      endif()
      if(NOT DEFINED rank_${target})
        continue()  # a folder outside the layers, such as a system library's
      endif()
      set(allowed TRUE)
      if(rank_${target} GREATER rank_${folder})
        set(allowed FALSE)
      elseif(rank_${target} EQUAL rank_${folder} AND NOT target STREQUAL folder)
        set(allowed FALSE)  # app/gui and tools stand side by side
      endif()
      if(NOT allowed)
        file(RELATIVE_PATH name ${SOURCE_DIR} ${file})
        string(APPEND violations "  ${name}: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Includes that point up the layers:\n${violations}")
endif()
message(STATUS "No include points up the layers.")
