# Native Linux build: the unit tests of the pure logic, or, with VARDIX_FUZZ,
# the libFuzzer target alone (it needs neither GoogleTest nor the tests).

if(VARDIX_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VARDIX_FUZZ needs clang++: libFuzzer ships with clang only")
  endif()
  # Without coverage inside the library the fuzzer could not steer into the splitter.
  target_compile_options(vardix_core PRIVATE -fsanitize=fuzzer-no-link)
  add_executable(fuzz_split fuzz/fuzz_split.cpp)
  target_include_directories(fuzz_split PRIVATE tests)
  target_compile_options(fuzz_split PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_split PRIVATE -fsanitize=fuzzer)
  target_link_libraries(fuzz_split PRIVATE vardix_core)
  return()
endif()

find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB VARDIX_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/*.cpp)
add_executable(vardix_tests ${VARDIX_TEST_SOURCES})
target_link_libraries(vardix_tests PRIVATE vardix_core GTest::gtest_main)
# Sanitized binaries start slowly, hence the discovery limit; the test limit
# turns a splitter gone quadratic into a failure instead of a hang.
gtest_discover_tests(vardix_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 60)
