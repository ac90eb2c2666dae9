# Writes the two generated scripts of the page (cmake -P, see CMakeLists.txt):
#
#   -DWHAT=engine -DLOADER=... -DWORKER=... -DOUT=.../engine.js
#     fdkeepWorker(), a function whose source text is the engine's loader
#     (with the WebAssembly inside) followed by worker.js. The page starts a
#     worker from a Blob of that text: a page opened from file:// may load a
#     script with a <script> tag, but may neither fetch files nor start a
#     worker from a script's URL.
#
#   -DWHAT=examples -DEXAMPLES=.../examples -DOUT=.../examples.js
#     fdkeepExamples, the shipped examples (*.txt) as {name, hex}, in name
#     order: their bytes in hexadecimal, so that any byte survives unchanged.
if(WHAT STREQUAL "engine")
  file(READ ${LOADER} loader)
  file(READ ${WORKER} worker)
  file(WRITE ${OUT}
       "// fdkeep's engine and the worker that runs it. Built from web/; do "
       "not edit.\nfunction fdkeepWorker() {\n${loader}\n${worker}}\n")
elseif(WHAT STREQUAL "examples")
  file(GLOB examples ${EXAMPLES}/*.txt)
  list(SORT examples)
  set(entries "")
  foreach(example IN LISTS examples)
    get_filename_component(name ${example} NAME)
    file(READ ${example} hex HEX)
    string(APPEND entries "  {name: \"${name}\", hex: \"${hex}\"},\n")
  endforeach()
  file(WRITE ${OUT}
       "// The shipped examples, byte for byte in hexadecimal. Built from "
       "examples/; do not edit.\nvar fdkeepExamples = [\n${entries}];\n")
else()
  message(FATAL_ERROR "assemble.cmake: WHAT must be engine or examples")
endif()
