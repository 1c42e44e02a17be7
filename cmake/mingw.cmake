# Cross-building for Windows with MinGW-w64's -posix compilers (std::thread and friends). The
# preset names the target in QB_MINGW_ARCH: i686 (Quillerbankton.wfx) or x86_64 (.wfx64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QB_MINGW_ARCH})
set(qb_triple ${QB_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${qb_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${qb_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${qb_triple}-windres)
set(QB_WINDMC ${qb_triple}-windmc)
set(CMAKE_FIND_ROOT_PATH /usr/${qb_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The compiler checks run this file again in projects of their own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QB_MINGW_ARCH)
