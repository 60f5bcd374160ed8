# Cross build for 64-bit Windows with clang, on the MinGW-w64 headers,
# libraries and linker (posix thread model). A second compiler for the tree.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVEL_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES clang REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES clang++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${ORVEL_MINGW_TRIPLE}-windres REQUIRED)
find_program(CMAKE_OBJCOPY NAMES ${ORVEL_MINGW_TRIPLE}-objcopy REQUIRED)
set(CMAKE_C_COMPILER_TARGET ${ORVEL_MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${ORVEL_MINGW_TRIPLE})

set(CMAKE_FIND_ROOT_PATH /usr/${ORVEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# clang does not recognise Debian's "<version>-posix" folder as a GCC
# installation, so its C++ headers and runtime libraries are named here.
file(GLOB ORVEL_MINGW_GCC_DIRS LIST_DIRECTORIES true /usr/lib/gcc/${ORVEL_MINGW_TRIPLE}/*-posix)
list(GET ORVEL_MINGW_GCC_DIRS -1 ORVEL_MINGW_GCC_DIR)
set(ORVEL_CXX_HEADERS ${ORVEL_MINGW_GCC_DIR}/include/c++)
set(CMAKE_CXX_FLAGS_INIT
    "-isystem ${ORVEL_CXX_HEADERS} -isystem ${ORVEL_CXX_HEADERS}/${ORVEL_MINGW_TRIPLE} -isystem ${ORVEL_CXX_HEADERS}/backward")
# LLVM's linker: GNU ld warns about every COMDAT that clang and GCC lay out
# with different padding. It also takes libraries in any order, so winpthread,
# which the posix-model libstdc++ needs and clang does not add, can come first.
set(ORVEL_CLANG_LINK_FLAGS "-fuse-ld=lld -L${ORVEL_MINGW_GCC_DIR} -lpthread")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${ORVEL_CLANG_LINK_FLAGS})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${ORVEL_CLANG_LINK_FLAGS})
