# Native (Linux) tree: the portable library, its unit tests and lumpack.
find_package(ZLIB REQUIRED)
target_link_libraries(lum_package PUBLIC ZLIB::ZLIB)

file(GLOB LUM_UNIT_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/unit/*.cpp)
if(LUM_UNIT_TESTS)
  add_executable(unit_tests ${LUM_UNIT_TESTS})
  target_link_libraries(unit_tests PRIVATE lumcore gtest gtest_main)
  target_compile_definitions(unit_tests PRIVATE LUM_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  include(GoogleTest)
  gtest_discover_tests(unit_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
endif()

if(EXISTS ${PROJECT_SOURCE_DIR}/tools/lumpack/CMakeLists.txt)
  add_subdirectory(tools/lumpack)
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/tests/native/CMakeLists.txt)
  add_subdirectory(tests/native)
endif()

# The layers hold: a file of the sys layer that includes a stub header does
# not compile (the header is outside its view), while the same file compiles
# from the stub layer's view.
set(LUM_LAYER_PROBE ${PROJECT_SOURCE_DIR}/tests/layering/UpwardInclude.cpp)
add_test(NAME layers_refuse_upward_include
  COMMAND ${CMAKE_CXX_COMPILER} -std=c++20 -fsyntax-only -I${CMAKE_BINARY_DIR}/layers/sys ${LUM_LAYER_PROBE})
set_tests_properties(layers_refuse_upward_include PROPERTIES LABELS unit
  PASS_REGULAR_EXPRESSION "stub/StubProgress.h: No such file or directory")
add_test(NAME layers_allow_downward_include
  COMMAND ${CMAKE_CXX_COMPILER} -std=c++20 -fsyntax-only -I${CMAKE_BINARY_DIR}/layers/stub ${LUM_LAYER_PROBE})
set_tests_properties(layers_allow_downward_include PROPERTIES LABELS unit)

# The README's size rules for the stub, checked on every file it links: a use
# of what they keep out (tree containers, std::to_string, streams, printf,
# floating-point parsing, exceptions...) outside comments and strings fails
# the first test; the probe, one use of each, must be found whole.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(LUM_SIZE_RULES ${PROJECT_SOURCE_DIR}/tests/layering/size_rules.py)
add_test(NAME stub_sources_keep_size_rules COMMAND ${Python3_EXECUTABLE} ${LUM_SIZE_RULES} ${PROJECT_SOURCE_DIR}/src)
set_tests_properties(stub_sources_keep_size_rules PROPERTIES LABELS unit)
add_test(NAME size_rules_find_every_rule COMMAND ${Python3_EXECUTABLE} ${LUM_SIZE_RULES}
  --files ${PROJECT_SOURCE_DIR}/tests/layering/SizeRuleProbe.cpp)
set_tests_properties(size_rules_find_every_rule PROPERTIES LABELS unit
  PASS_REGULAR_EXPRESSION "^([^\n]*SizeRuleProbe.cpp:[0-9]+: [^\n]*\n)+19 use\\(s\\)")
