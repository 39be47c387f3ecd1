# The five-input layer as a library of its own, vexil_npn5: words and
# transforms, the gate operators, the record encoder and decoder, the circuit
# evaluator and canonisation. vexil_core (the database, the queries) and the
# offline generator tools/npn5gen both link it, so the two read and write image
# records with one codec and key them with one canonisation. Its users reach the
# headers as "npn5/..." from the repository root; the library itself reads src/
# only for panic.hpp. Every file of this folder is in one of the two lists: a
# new one goes where its includes allow (the library's must not reach the core).
set(VEXIL_NPN5_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/canon_tables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/canonise.cpp
  ${CMAKE_CURRENT_LIST_DIR}/circuit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/finishers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/four_input.cpp)
# The database and its queries, built into vexil_core (src/sources.cmake).
set(VEXIL_NPN5_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/canonical_forms.cpp
  ${CMAKE_CURRENT_LIST_DIR}/class_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/database.cpp
  ${CMAKE_CURRENT_LIST_DIR}/function_queries.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gate_map.cpp
  ${CMAKE_CURRENT_LIST_DIR}/node_circuit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/queries.cpp)
# A file in neither list would be silently left out of the build: refuse it.
file(GLOB vexil_npn5_present CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
foreach(source ${vexil_npn5_present})
  if(NOT source IN_LIST VEXIL_NPN5_SOURCES AND NOT source IN_LIST VEXIL_NPN5_CORE_SOURCES)
    message(FATAL_ERROR "${source} is in neither source list of npn5/library.cmake")
  endif()
endforeach()
add_library(vexil_npn5 STATIC ${VEXIL_NPN5_SOURCES})
target_link_libraries(vexil_npn5 PRIVATE vexil_warnings)
target_include_directories(vexil_npn5
  PRIVATE ${PROJECT_SOURCE_DIR}/src
  PUBLIC ${PROJECT_SOURCE_DIR})
