# 64-bit Windows binaries (PE32+, x86-64), for 64-bit shells.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZELK_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
