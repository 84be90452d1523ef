# Every test executable runs under wine, with a private prefix inside the
# build tree. The prefix is made once, as its own build step: a prefix whose
# creation is interrupted is broken for good, so no test may create it.
if(MINGW_ARCH STREQUAL "x86_64")
  set(WINE_LOADER /usr/lib/wine/wine64)
  set(WINE_SERVER /usr/lib/wine/wineserver64)
  set(WINE_ARCH win64)
else()
  set(WINE_LOADER /usr/lib/wine/wine)
  set(WINE_SERVER /usr/lib/wine/wineserver32)
  set(WINE_ARCH win32)
endif()
set(WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)

configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-env.in ${CMAKE_BINARY_DIR}/wine-env @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
               @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# Some kernels cannot run 32-bit code at all; such a tree is only built.
execute_process(COMMAND ${WINE_LOADER} --version RESULT_VARIABLE _wine_rc OUTPUT_QUIET ERROR_QUIET)
if(_wine_rc EQUAL 0)
  set(WINE_USABLE ON)
else()
  set(WINE_USABLE OFF)
  message(STATUS "${WINE_LOADER} cannot run here: tests of this tree are built, not run")
  return()
endif()

add_custom_command(
  OUTPUT ${WINE_PREFIX}/.ready
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/make-wineprefix.sh ${CMAKE_BINARY_DIR}/wine-env
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/make-wineprefix.sh
  COMMENT "Creating the wine prefix"
  VERBATIM)
add_custom_target(wineprefix ALL DEPENDS ${WINE_PREFIX}/.ready)
