# 64-bit Windows: the same sources as the i686 deliverables, for running the Windows tests under
# 64-bit Wine on machines whose kernel runs no 32-bit programs.
set(KOV_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
