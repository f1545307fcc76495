# The same sources built for x86-64 and run under 64-bit Wine: for machines whose kernel cannot
# run 32-bit x86 code, where 32-bit Wine cannot start. The product ships as the i686 build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
