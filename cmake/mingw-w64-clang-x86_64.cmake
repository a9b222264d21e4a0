# Cross-build for Windows x86-64 with Debian's Clang and LLD, against the same MinGW-w64 sysroot and
# libstdc++ as the MinGW g++ build (posix thread model): a second compiler reads the same code.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${MINGW_TRIPLE})
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_SYSROOT /usr/${MINGW_TRIPLE})

# Clang does not take Debian's GCC folder name (12-posix) for a version, so it finds neither
# libstdc++'s headers nor libgcc by itself: the MinGW g++ says where they are.
execute_process(COMMAND ${MINGW_TRIPLE}-g++-posix -print-libgcc-file-name
                OUTPUT_VARIABLE MINGW_LIBGCC OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(MINGW_GCC_DIR ${MINGW_LIBGCC} DIRECTORY)
set(MINGW_CXX_INCLUDE ${MINGW_GCC_DIR}/include/c++)
set(CMAKE_CXX_FLAGS_INIT "-isystem ${MINGW_CXX_INCLUDE} -isystem ${MINGW_CXX_INCLUDE}/${MINGW_TRIPLE} -isystem ${MINGW_CXX_INCLUDE}/backward")
# The posix libgcc and libstdc++ need winpthread, which MinGW's g++ links without being asked.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${MINGW_GCC_DIR} -lpthread")

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
