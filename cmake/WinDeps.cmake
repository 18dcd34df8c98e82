# Third-party libraries of the Windows build, as imported targets with the names the
# native find modules give (PNG::PNG, JPEG::JPEG, ZLIB::ZLIB, GTest::gtest,
# GTest::gtest_main), so that target code links the same names in both builds.
# libpng, libjpeg-turbo and GoogleTest come from the prefix scripts/win-deps fills; zlib is
# the static libz.a of Debian's libz-mingw-w64-dev (never the import library libz.dll.a,
# which would make the program need zlib1.dll).

set(VS_WIN_DEPS_DIR "${CMAKE_SOURCE_DIR}/build/win-deps"
    CACHE PATH "Prefix holding the MinGW builds of libpng, libjpeg-turbo and GoogleTest")

set(_vs_need
    lib/libpng16.a include/png.h
    lib/libjpeg.a include/jpeglib.h include/jconfig.h
    lib/libgtest.a lib/libgtest_main.a include/gtest/gtest.h)
foreach(_f IN LISTS _vs_need)
  if(NOT EXISTS "${VS_WIN_DEPS_DIR}/${_f}")
    message(FATAL_ERROR
      "Windows dependencies missing: ${VS_WIN_DEPS_DIR}/${_f} not found.\n"
      "Run scripts/win-deps (or scripts/win-deps <prefix> and pass -DVS_WIN_DEPS_DIR=<prefix>).")
  endif()
endforeach()

find_library(VS_WIN_ZLIB_LIBRARY NAMES libz.a NO_CACHE)
find_path(VS_WIN_ZLIB_INCLUDE_DIR zlib.h NO_CACHE)
if(NOT VS_WIN_ZLIB_LIBRARY OR NOT VS_WIN_ZLIB_INCLUDE_DIR)
  message(FATAL_ERROR "Static zlib for MinGW (libz.a, zlib.h) not found: install libz-mingw-w64-dev (scripts/deps).")
endif()

# _vs_import(target library include_dir [interface libraries...])
function(_vs_import target library include_dir)
  add_library(${target} STATIC IMPORTED)
  set_target_properties(${target} PROPERTIES
    IMPORTED_LOCATION "${library}"
    INTERFACE_INCLUDE_DIRECTORIES "${include_dir}")
  if(ARGN)
    set_property(TARGET ${target} PROPERTY INTERFACE_LINK_LIBRARIES ${ARGN})
  endif()
endfunction()

_vs_import(ZLIB::ZLIB "${VS_WIN_ZLIB_LIBRARY}" "${VS_WIN_ZLIB_INCLUDE_DIR}")
_vs_import(PNG::PNG "${VS_WIN_DEPS_DIR}/lib/libpng16.a" "${VS_WIN_DEPS_DIR}/include" ZLIB::ZLIB)
_vs_import(JPEG::JPEG "${VS_WIN_DEPS_DIR}/lib/libjpeg.a" "${VS_WIN_DEPS_DIR}/include")
_vs_import(GTest::gtest "${VS_WIN_DEPS_DIR}/lib/libgtest.a" "${VS_WIN_DEPS_DIR}/include")
_vs_import(GTest::gtest_main "${VS_WIN_DEPS_DIR}/lib/libgtest_main.a" "${VS_WIN_DEPS_DIR}/include"
           GTest::gtest)
# GoogleTest was built with its Windows threading (MinGW's pthreads are not used): the
# headers must see the same setting as the library.
set_property(TARGET GTest::gtest PROPERTY INTERFACE_COMPILE_DEFINITIONS GTEST_HAS_PTHREAD=0)
# The older names FindGTest also gives.
add_library(GTest::GTest INTERFACE IMPORTED)
set_property(TARGET GTest::GTest PROPERTY INTERFACE_LINK_LIBRARIES GTest::gtest)
add_library(GTest::Main INTERFACE IMPORTED)
set_property(TARGET GTest::Main PROPERTY INTERFACE_LINK_LIBRARIES GTest::gtest_main)

# The variables the find modules set, for code that reads them.
set(PNG_FOUND TRUE)
set(JPEG_FOUND TRUE)
set(ZLIB_FOUND TRUE)
set(GTest_FOUND TRUE)
set(PNG_INCLUDE_DIRS "${VS_WIN_DEPS_DIR}/include")
set(JPEG_INCLUDE_DIRS "${VS_WIN_DEPS_DIR}/include")
set(ZLIB_INCLUDE_DIRS "${VS_WIN_ZLIB_INCLUDE_DIR}")
unset(_vs_need)
unset(_f)
