# Release builds are what ships: small code. Read by CMake once it knows the compilers and before
# it makes the cache's entries, so that these are only defaults: flags given with
# -DCMAKE_<LANG>_FLAGS_RELEASE win.
foreach(lang C CXX)
  if(MSVC)
    # /O1 brings /Gy; the linker's /OPT:REF then drops what nothing calls.
    string(REPLACE "/O2" "/O1" CMAKE_${lang}_FLAGS_RELEASE_INIT "${CMAKE_${lang}_FLAGS_RELEASE_INIT}")
  else()
    # Every function and datum in a section of its own, so that the programs' linking
    # (quellbox_program) can drop what nothing calls.
    set(CMAKE_${lang}_FLAGS_RELEASE_INIT "-Os -DNDEBUG -ffunction-sections -fdata-sections")
  endif()
endforeach()
