# The browser page's tests, included by tests/CMakeLists.txt. Web.Require
# installs what they need (web/require), Web.Build builds the page into
# BUILD/web (web/build); then the engine test (Node) and the browser test
# (chromium and firefox-esr) compare the page with this tree's native tools.
add_executable(fdkeep_web_inputs ${PROJECT_SOURCE_DIR}/web/test/inputs.cpp
                                 ${FDKEEP_SHAPE_SOURCES}
                                 ${PROJECT_SOURCE_DIR}/bench/workloads.cpp)
target_include_directories(fdkeep_web_inputs PRIVATE
                           ${PROJECT_SOURCE_DIR}/bench)

set(web ${PROJECT_SOURCE_DIR}/web)
set(web_build ${PROJECT_BINARY_DIR}/web)
add_test(NAME Web.Require COMMAND ${web}/require)
add_test(NAME Web.Build COMMAND ${web}/build ${web_build})
set_tests_properties(Web.Require PROPERTIES FIXTURES_SETUP web_tools
                                            TIMEOUT 1200)
set_tests_properties(Web.Build PROPERTIES FIXTURES_SETUP web_page
                                          FIXTURES_REQUIRED web_tools
                                          TIMEOUT 1200)

set(compared ${web_build}/site $<TARGET_FILE:fdkeep>
             $<TARGET_FILE:fdkeep-explain> $<TARGET_FILE:fdkeep_web_inputs>
             ${PROJECT_SOURCE_DIR})
add_test(NAME Web.EngineMatchesNativeTools
  COMMAND node ${web}/test/engine_test.js ${compared})
# Alone, so that the time it measures is the page's own.
add_test(NAME Web.BrowserMatchesNativeTools
  COMMAND node ${web}/test/browser_test.js ${compared} ${web_build})
set_tests_properties(Web.EngineMatchesNativeTools Web.BrowserMatchesNativeTools
  PROPERTIES FIXTURES_REQUIRED "web_tools;web_page" TIMEOUT 600)
set_tests_properties(Web.BrowserMatchesNativeTools PROPERTIES RUN_SERIAL ON)
