# 32-bit Windows binaries (PE32, i386), for 32-bit shells.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZELK_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
