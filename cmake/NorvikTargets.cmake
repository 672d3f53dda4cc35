# Settings every target of ours shares, and the helpers that make libraries and tests.

# Full warnings as errors in both builds; sanitizers on everything native except benchmarks.
function(nv_target_defaults target)
    target_compile_features(${target} PUBLIC cxx_std_20)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror -Wshadow -Wnon-virtual-dtor)
    if(NV_WINDOWS)
        target_compile_definitions(${target} PRIVATE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN
                                                     _WIN32_WINNT=0x0601 WINVER=0x0601)
    endif()
endfunction()

function(nv_sanitize target)
    if(NOT NV_WINDOWS)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all
                                                 -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

# What every target of ours gets: includes from the repository root, the shared settings and the
# sanitizers. `scope` is PUBLIC for libraries, so that their users find the same headers.
function(nv_our_target target scope)
    target_include_directories(${target} ${scope} ${PROJECT_SOURCE_DIR})
    nv_target_defaults(${target})
    nv_sanitize(${target})
endfunction()

# nv_library(name [WINDOWS_ONLY] SOURCES ... [LIBS ...]): a static library of product code.
function(nv_library name)
    cmake_parse_arguments(ARG "WINDOWS_ONLY" "" "SOURCES;LIBS" ${ARGN})
    if(ARG_WINDOWS_ONLY AND NOT NV_WINDOWS)
        return()
    endif()
    add_library(${name} STATIC ${ARG_SOURCES})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    nv_our_target(${name} PUBLIC)
endfunction()

# nv_test(name [WINDOWS_ONLY] SOURCES ... [LIBS ...] [DEPENDS ...]): a GoogleTest executable whose
# cases CTest runs one by one; Windows ones run under Wine through the cross-compiling emulator.
function(nv_test name)
    cmake_parse_arguments(ARG "WINDOWS_ONLY" "TIMEOUT" "SOURCES;LIBS;DEPENDS;PROPERTIES" ${ARGN})
    if(ARG_WINDOWS_ONLY AND NOT NV_WINDOWS)
        return()
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    nv_our_target(${name} PRIVATE)
    if(ARG_DEPENDS)
        add_dependencies(${name} ${ARG_DEPENDS})
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    if(NV_WINDOWS)
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                             PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS windows ${ARG_PROPERTIES})
    else()
        gtest_discover_tests(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS native ${ARG_PROPERTIES})
    endif()
endfunction()

# nv_tool(name [WINDOWS_ONLY] [WMAIN] SOURCES ... [LIBS ...]): a program of ours that is not the
# product (tools, stand-ins, test peers). WMAIN: a Windows console program whose entry is wmain.
function(nv_tool name)
    cmake_parse_arguments(ARG "WINDOWS_ONLY;WMAIN" "" "SOURCES;LIBS" ${ARGN})
    if(ARG_WINDOWS_ONLY AND NOT NV_WINDOWS)
        return()
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    nv_our_target(${name} PRIVATE)
    if(NV_WINDOWS AND ARG_WMAIN)
        target_link_options(${name} PRIVATE -municode)
    endif()
endfunction()
