# The engine's sources, without the entry points: shared by the tool, its
# tests and the browser page (web/CMakeLists.txt), so that each builds the
# one reading and the one analysis.
set(FDKEEP_ENGINE_SOURCES
  schema.cpp model.cpp files.cpp reading.cpp graph.cpp classes.cpp closure.cpp
  rules.cpp
  preservation_test.cpp derivation.cpp preservation.cpp main.cpp
  quoting.cpp quoting_table.cpp derived.cpp repair.cpp explain.cpp)
