# Warnings are errors where the project's own commands build (the Makefile turns this on for make
# test, make run, make bench and CI); anyone else's compiler may warn where ours does not, and that
# must not stop their build. Third-party headers come in as SYSTEM either way.
option(KESTORY_WERROR "Treat compiler warnings in Kestory's own code as errors" OFF)
function(kestory_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(KESTORY_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    # GCC 12 at -O3 (the Release build of the benchmarks) reports "literal" + std::string as an
    # overlapping memcpy inside libstdc++ (GCC bug 105329): a false report about the library's code.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
endfunction()

# Where the tests and the programs they start keep their thumbnail cache and read and write
# their configuration: folders of the build's own, never the user's. Two properties with one
# value each, since gtest_discover_tests splits a list value of PROPERTIES.
set(KESTORY_TEST_CACHE_HOME "XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/test-home/cache")
set(KESTORY_TEST_CONFIG_HOME "XDG_CONFIG_HOME=set:${CMAKE_BINARY_DIR}/test-home/config")
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-home/cache ${CMAKE_BINARY_DIR}/test-home/config)

# A GoogleTest program registered with CTest, linked against the core.
function(kestory_gtest name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE kestory_core kestory_testsupport GTest::gtest_main)
    kestory_warnings(${name})
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "${KESTORY_TEST_CACHE_HOME}"
                         ENVIRONMENT_MODIFICATION "${KESTORY_TEST_CONFIG_HOME}")
endfunction()

# A Qt Test program; widget tests always run on the offscreen platform.
function(kestory_qtest name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE kestory_ui kestory_testsupport Qt6::Test)
    kestory_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT
        "QT_QPA_PLATFORM=offscreen;QT_QPA_FONTDIR=/usr/share/fonts;${KESTORY_TEST_CACHE_HOME}"
        ENVIRONMENT_MODIFICATION "${KESTORY_TEST_CONFIG_HOME}")
endfunction()
