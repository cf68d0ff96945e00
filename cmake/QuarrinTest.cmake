# SPDX-License-Identifier: MIT
# quarrin_test(NAME SOURCES a.cpp b.cpp LIBS kit_base ...)
# One GoogleTest executable; its tests are discovered by ctest. Tests run with pinned fonts and
# no accessibility bus (tests/TestEnvironment.cpp).
function(quarrin_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
    target_compile_definitions(${name} PRIVATE
        QUARRIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        QUARRIN_BINARY_DIR="${CMAKE_BINARY_DIR}"
        QUARRIN_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
    target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/TestEnvironment.cpp)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()
