# Run as a script (cmake -P). Fails when a file of one part of the database
# access component includes a header of a part it does not link, also by a
# relative path the compiler would accept, or when the parts' links go round
# in a circle.
#
#   ROOT    the component's folder; a part is a folder in it, the connection
#           that routes is the folder itself and public/
#   PARTS   every part, "router" among them, separated by commas
#   ARROWS  "part>part" for every link from one part to another, separated
#           by commas

cmake_minimum_required(VERSION 3.25)

string(REPLACE "," ";" ARROWS "${ARROWS}")
# A part that links no other is checked all the same.
string(REPLACE "," ";" names "${PARTS}")
foreach(arrow IN LISTS ARROWS)
  string(REPLACE ">" ";" ends "${arrow}")
  list(GET ends 0 from)
  list(GET ends 1 to)
  list(APPEND names ${from} ${to})
  list(APPEND direct_${from} ${to})
endforeach()
list(REMOVE_DUPLICATES names)
# A part the check cannot find would let every include pass unseen.
foreach(name IN LISTS names)
  if(NOT name STREQUAL "router" AND NOT IS_DIRECTORY "${ROOT}/${name}")
    message(FATAL_ERROR "No folder of the part \"${name}\" in ${ROOT}: the arrows are ${ARROWS}")
  endif()
endforeach()

# Every part's reach: the parts below it through any chain of links.
foreach(name IN LISTS names)
  set(reach "")
  set(queue ${direct_${name}})
  while(queue)
    list(POP_FRONT queue next)
    if(NOT next IN_LIST reach)
      list(APPEND reach ${next})
      list(APPEND queue ${direct_${next}})
    endif()
  endwhile()
  if(name IN_LIST reach)
    message(FATAL_ERROR "The parts go round in a circle through ${name}: ${ARROWS}")
  endif()
  set(reach_${name} ${reach})
endforeach()

# The part a file belongs to, or "" for one outside the parts.
function(part_of file out)
  file(RELATIVE_PATH relative "${ROOT}" "${file}")
  string(REGEX MATCH "^[^/]+/" folder "${relative}")
  string(REGEX REPLACE "/$" "" folder "${folder}")
  if(folder STREQUAL "" OR folder STREQUAL "public")
    set(folder router)
  endif()
  if(folder IN_LIST names AND NOT relative MATCHES "^\\.\\.")
    set(${out} ${folder} PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

set(parts_folders "")
foreach(name IN LISTS names)
  if(name STREQUAL "router")
    list(APPEND parts_folders "${ROOT}" "${ROOT}/public")
  else()
    list(APPEND parts_folders "${ROOT}/${name}")
  endif()
  # The reader's public headers go by "ods/...".
  if(name STREQUAL "ods")
    list(APPEND parts_folders "${ROOT}/ods/public")
  endif()
endforeach()

set(wrong "")
file(GLOB_RECURSE sources "${ROOT}/*.h" "${ROOT}/*.cpp")
foreach(source IN LISTS sources)
  part_of("${source}" owner)
  if(owner STREQUAL "")
    continue()
  endif()
  get_filename_component(here "${source}" DIRECTORY)
  file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" included "${line}")
    # Where the compiler would find it: beside the file first, then in any
    # part's folder (a part's include path is its folder).
    set(found "")
    if(EXISTS "${here}/${included}")
      get_filename_component(found "${here}/${included}" ABSOLUTE)
    else()
      foreach(folder IN LISTS parts_folders)
        if(EXISTS "${folder}/${included}")
          get_filename_component(found "${folder}/${included}" ABSOLUTE)
          break()
        endif()
      endforeach()
    endif()
    if(found STREQUAL "")
      continue()
    endif()
    part_of("${found}" target)
    if(NOT target STREQUAL "" AND NOT target STREQUAL owner AND NOT target IN_LIST reach_${owner})
      file(RELATIVE_PATH shown "${ROOT}" "${source}")
      list(APPEND wrong "${shown} (${owner}) includes \"${included}\" of ${target}, which ${owner} does not link")
    endif()
  endforeach()
endforeach()

if(wrong)
  list(JOIN wrong "\n  " text)
  message(FATAL_ERROR "Includes that run the wrong way between the parts:\n  ${text}")
endif()
message(STATUS "Every include runs down the parts")
