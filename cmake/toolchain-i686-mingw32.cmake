# Cross-build for 32-bit Windows with Debian's mingw-w64 i686 toolchain; tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QARN_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER ${QARN_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${QARN_TRIPLE}-g++)
set(CMAKE_ASM_COMPILER ${QARN_TRIPLE}-gcc)
set(CMAKE_RC_COMPILER ${QARN_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QARN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

find_program(QARN_DLLTOOL ${QARN_TRIPLE}-dlltool REQUIRED)
find_program(QARN_OBJDUMP ${QARN_TRIPLE}-objdump REQUIRED)

# Double arithmetic in SSE2 registers, rounded to double at every step as on every other
# platform. gcc's i686 default keeps x87 intermediates at 80 bits, which turns the invoice's
# unit value of exactly 100 (value / (quantity * 0.001)) into 99.99... and picks the wrong price.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# Every program built here needs no DLL beyond the system's and the test doubles.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# add_test() runs the Windows programs through Wine.
find_program(QARN_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QARN_WINE})
