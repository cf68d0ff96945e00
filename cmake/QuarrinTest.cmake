# quarrin_test(NAME SOURCES a.cpp b.cpp LIBS kit_base ...)
# One GoogleTest executable; its tests are discovered by ctest. Tests run with pinned fonts,
# no accessibility bus and a private HOME so they never touch the developer's files.
function(quarrin_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
    target_compile_definitions(${name} PRIVATE
        QUARRIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        QUARRIN_BINARY_DIR="${CMAKE_BINARY_DIR}"
        QUARRIN_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
    gtest_discover_tests(${name}
        DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "FONTCONFIG_FILE=${CMAKE_SOURCE_DIR}/tests/data/fonts.conf;GTK_A11Y=none;NO_AT_BRIDGE=1")
endfunction()
