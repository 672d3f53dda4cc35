# Settings every target of ours shares, and the helpers that make libraries and tests.

# Full warnings as errors in both builds; sanitizers on everything native except benchmarks.
function(nv_target_defaults target)
    target_compile_features(${target} PUBLIC cxx_std_20)
    # C and C++ only: a target's resource script goes to windres, which takes none of these.
    set(warnings -Wall -Wextra -Wpedantic -Werror -Wshadow -Wnon-virtual-dtor)
    target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:C,CXX>:${warnings}>")
    if(NV_WINDOWS)
        target_compile_definitions(${target} PRIVATE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN
                                                     _WIN32_WINNT=0x0601 WINVER=0x0601)
    endif()
endfunction()

# The fuzz build instruments every library for libFuzzer's coverage as well; only a fuzz target
# (nv_fuzzer) links the fuzzer's own main.
set(NV_FUZZ_SANITIZERS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)

function(nv_sanitize target)
    if(NV_FUZZ)
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined
                                                 -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    elseif(NOT NV_WINDOWS)
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
    if(NV_FUZZ OR (ARG_WINDOWS_ONLY AND NOT NV_WINDOWS))
        return()
    endif()
    add_executable(${name} ${ARG_SOURCES})
    if(NV_WINDOWS)
        # A crash is reported with its address and ends the test program at once.
        target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/CrashReport.cpp)
    endif()
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

# nv_version_resource(target DESCRIPTION text [FILE_NAME name]): gives a Windows binary a version
# resource (cmake/VersionInfo.rc.in) with the project's version. FILE_NAME defaults to the target's
# output name with .exe or .dll; call it after OUTPUT_NAME is set.
function(nv_version_resource target)
    cmake_parse_arguments(ARG "" "DESCRIPTION;FILE_NAME" "" ${ARGN})
    if(NOT NV_WINDOWS)
        return()
    endif()
    if(NOT ARG_DESCRIPTION)
        message(FATAL_ERROR "nv_version_resource(${target}): DESCRIPTION is missing")
    endif()
    get_target_property(type ${target} TYPE)
    if(NOT ARG_FILE_NAME)
        get_target_property(output ${target} OUTPUT_NAME)
        if(NOT output)
            set(output ${target})
        endif()
        if(type STREQUAL "SHARED_LIBRARY")
            set(ARG_FILE_NAME ${output}.dll)
        else()
            set(ARG_FILE_NAME ${output}.exe)
        endif()
    endif()
    if(ARG_FILE_NAME MATCHES "\\.dll$")
        set(NV_VERSION_FILE_TYPE VFT_DLL)
    else()
        set(NV_VERSION_FILE_TYPE VFT_APP)
    endif()
    set(NV_VERSION_FILE_NAME ${ARG_FILE_NAME})
    set(NV_VERSION_DESCRIPTION "${ARG_DESCRIPTION}")
    get_filename_component(NV_VERSION_INTERNAL_NAME ${ARG_FILE_NAME} NAME_WE)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/VersionInfo.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()

# nv_tool(name [WINDOWS_ONLY] [WMAIN] [DESCRIPTION text] SOURCES ... [LIBS ...]): a program of ours
# that is not the product (tools, stand-ins, test peers). WMAIN: a Windows console program whose
# entry is wmain. DESCRIPTION: the Windows build gives it a version resource saying so (the tools a
# person runs have one; test peers need none).
function(nv_tool name)
    cmake_parse_arguments(ARG "WINDOWS_ONLY;WMAIN" "DESCRIPTION" "SOURCES;LIBS" ${ARGN})
    # The fuzz build reaches the tools through their libraries; their programs stay out of it.
    if(NV_FUZZ OR (ARG_WINDOWS_ONLY AND NOT NV_WINDOWS))
        return()
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    nv_our_target(${name} PRIVATE)
    if(NV_WINDOWS AND ARG_WMAIN)
        target_link_options(${name} PRIVATE -municode)
    endif()
    if(ARG_DESCRIPTION)
        nv_version_resource(${name} DESCRIPTION "${ARG_DESCRIPTION}")
    endif()
endfunction()

# nv_fuzzer(name SOURCES ... [LIBS ...]): a libFuzzer target (fuzz build only) under the sanitizers,
# its input handler LLVMFuzzerTestOneInput; it lands in bin/ as fuzz_<name>.
function(nv_fuzzer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    if(NOT NV_FUZZ)
        return()
    endif()
    add_executable(fuzz_${name} ${ARG_SOURCES})
    target_link_libraries(fuzz_${name} PRIVATE ${ARG_LIBS})
    target_include_directories(fuzz_${name} PRIVATE ${PROJECT_SOURCE_DIR})
    nv_target_defaults(fuzz_${name})
    target_compile_options(fuzz_${name} PRIVATE ${NV_FUZZ_SANITIZERS} -fno-omit-frame-pointer)
    target_link_options(fuzz_${name} PRIVATE ${NV_FUZZ_SANITIZERS})
    set_property(GLOBAL APPEND PROPERTY NV_FUZZERS fuzz_${name})
endfunction()
