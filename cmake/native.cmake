# Native Linux build: the unit tests of the pure logic.

find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB VARDIX_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/*.cpp)
add_executable(vardix_tests ${VARDIX_TEST_SOURCES})
target_link_libraries(vardix_tests PRIVATE vardix_core GTest::gtest_main)
# Sanitized binaries start slowly, hence the discovery limit; the test limit
# turns a splitter gone quadratic into a failure instead of a hang.
gtest_discover_tests(vardix_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 60)
# The resource script, whose languages a test compares.
target_compile_definitions(vardix_tests PRIVATE VARDIX_RESOURCE_SCRIPT="${PROJECT_SOURCE_DIR}/src/res/vardix.rc")
