# The five-input layer as a library of its own, vexil_npn5: words and
# transforms, the gate operators, the record encoder and decoder, the circuit
# evaluator and canonisation. vexil_core (the database, the queries) and the
# offline generator tools/npn5gen both link it, so the two read and write image
# records with one codec and key them with one canonisation. Its users reach the
# headers as "npn5/..." through a root in the build folder that holds nothing
# else; the library itself reads src/ only for panic.hpp.
set(VEXIL_NPN5_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/canon_tables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/canonise.cpp
  ${CMAKE_CURRENT_LIST_DIR}/circuit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/finishers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/four_input.cpp)
add_library(vexil_npn5 STATIC ${VEXIL_NPN5_SOURCES})
target_link_libraries(vexil_npn5 PRIVATE vexil_warnings)
set(VEXIL_NPN5_INCLUDE ${CMAKE_CURRENT_BINARY_DIR}/include-npn5)
file(MAKE_DIRECTORY ${VEXIL_NPN5_INCLUDE})
file(CREATE_LINK ${CMAKE_CURRENT_LIST_DIR} ${VEXIL_NPN5_INCLUDE}/npn5 SYMBOLIC)
target_include_directories(vexil_npn5
  PRIVATE ${PROJECT_SOURCE_DIR}/src
  INTERFACE ${VEXIL_NPN5_INCLUDE})
