# Debian ships the POSIX-thread and win32-thread variants side by side; the
# program needs no threads, so the plain names (win32 model) are enough.
set(CMAKE_C_COMPILER ${VARDIX_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${VARDIX_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${VARDIX_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VARDIX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
find_program(VARDIX_OBJDUMP ${VARDIX_MINGW_TRIPLE}-objdump)
