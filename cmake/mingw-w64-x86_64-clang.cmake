# The second compiler for the Windows build: clang targeting x86_64-w64-mingw32, on the same
# mingw-w64 headers and import libraries and the same libstdc++ (the -posix one, whose std::mutex
# GoogleTest needs) as the g++ build, linked by lld, runtimes static. Only the compiler and the
# linker differ, so what one compiler accepts and the other refuses shows up as a build error.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NV_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES clang-14 clang REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES clang++-14 clang++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${NV_MINGW_PREFIX}-windres REQUIRED)
set(CMAKE_C_COMPILER_TARGET ${NV_MINGW_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${NV_MINGW_PREFIX})

# clang finds mingw-w64's own headers and libraries by itself but not GCC's C++ library; it is
# named here, the posix thread model's explicitly (the win32 one sits beside it).
file(GLOB NV_MINGW_GCC_DIRS LIST_DIRECTORIES true /usr/lib/gcc/${NV_MINGW_PREFIX}/*-posix)
list(SORT NV_MINGW_GCC_DIRS COMPARE NATURAL ORDER DESCENDING)
list(GET NV_MINGW_GCC_DIRS 0 NV_MINGW_GCC_DIR)
if(NOT EXISTS ${NV_MINGW_GCC_DIR}/include/c++)
    message(FATAL_ERROR "no posix libstdc++ of mingw-w64 under /usr/lib/gcc/${NV_MINGW_PREFIX}")
endif()
# Include directories of the compile only (a flag would reach the link too, and be unused there).
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${NV_MINGW_GCC_DIR}/include/c++
    ${NV_MINGW_GCC_DIR}/include/c++/${NV_MINGW_PREFIX} ${NV_MINGW_GCC_DIR}/include/c++/backward)
# GCC's mingw-w64 runtimes keep thread_local data in emulated TLS (__emutls_v.*); code that shares
# them (std::call_once's state, for one) must address it the same way.
set(CMAKE_C_FLAGS_INIT "-femulated-tls")
set(CMAKE_CXX_FLAGS_INIT "-femulated-tls")

set(CMAKE_FIND_ROOT_PATH /usr/${NV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# -pthread brings winpthreads, which the posix libstdc++ calls (g++-posix adds it by itself).
set(NV_LINK_FLAGS "-fuse-ld=lld -static -pthread -L${NV_MINGW_GCC_DIR}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${NV_LINK_FLAGS}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${NV_LINK_FLAGS}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${NV_LINK_FLAGS}")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
