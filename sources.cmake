# The engine's sources, without the entry points: shared by the tool, its
# tests and the browser page (web/CMakeLists.txt), so that each builds the
# one reading and the one analysis.
set(FDKEEP_ENGINE_SOURCES
  messages.cpp schema.cpp model.cpp files.cpp reading.cpp graph.cpp
  classes.cpp contexts.cpp closure.cpp part_tree.cpp rules.cpp
  bounds.cpp relevance.cpp lost_sets.cpp preservation_test.cpp
  part_closures.cpp links.cpp
  memory.cpp derivation.cpp byte_order.cpp
  preservation.cpp main.cpp
  quoting.cpp quoting_table.cpp derived.cpp repair.cpp explain.cpp)

# The generators of hostile inputs, shared by the benchmark, the tests and
# the browser page's tests.
set(FDKEEP_SHAPE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/bench/shapes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bench/cycle_shapes.cpp)

# The Hungarian catalogue, built in as a string (catalogue.cpp.in) by the
# tree that includes this; CMake reads po/hu.po again whenever it changes.
set(FDKEEP_GENERATED_SOURCES ${CMAKE_CURRENT_BINARY_DIR}/catalogue_hu.cpp)
file(READ ${CMAKE_CURRENT_LIST_DIR}/po/hu.po FDKEEP_HU_PO)
configure_file(${CMAKE_CURRENT_LIST_DIR}/catalogue.cpp.in
               ${CMAKE_CURRENT_BINARY_DIR}/catalogue_hu.cpp @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_CURRENT_LIST_DIR}/po/hu.po)
