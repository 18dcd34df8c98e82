# Third-party libraries of the Windows build, as imported targets with the names the
# native find modules give (PNG::PNG, JPEG::JPEG, ZLIB::ZLIB, GTest::gtest,
# GTest::gtest_main), so that target code links the same names in both builds.
# libpng, libjpeg-turbo and GoogleTest come from the prefix scripts/win-deps fills; zlib is
# the static libz.a of Debian's libz-mingw-w64-dev (never the import library libz.dll.a,
# which would make the program need zlib1.dll).

set(VS_WIN_DEPS_DIR "${CMAKE_SOURCE_DIR}/build/win-deps"
    CACHE PATH "Prefix holding the MinGW builds of libpng, libjpeg-turbo and GoogleTest")

include(${CMAKE_CURRENT_LIST_DIR}/ImportStatic.cmake)
vs_require_files("${VS_WIN_DEPS_DIR}" "Windows dependencies"
  "Run scripts/win-deps (or scripts/win-deps <prefix> and pass -DVS_WIN_DEPS_DIR=<prefix>)."
  lib/libpng16.a include/png.h
  lib/libjpeg.a include/jpeglib.h include/jconfig.h
  lib/libgtest.a lib/libgtest_main.a include/gtest/gtest.h)

find_library(VS_WIN_ZLIB_LIBRARY NAMES libz.a NO_CACHE)
find_path(VS_WIN_ZLIB_INCLUDE_DIR zlib.h NO_CACHE)
if(NOT VS_WIN_ZLIB_LIBRARY OR NOT VS_WIN_ZLIB_INCLUDE_DIR)
  message(FATAL_ERROR "Static zlib for MinGW (libz.a, zlib.h) not found: install libz-mingw-w64-dev (scripts/deps).")
endif()

vs_import_static(ZLIB::ZLIB "${VS_WIN_ZLIB_LIBRARY}" "${VS_WIN_ZLIB_INCLUDE_DIR}")
vs_import_static(PNG::PNG "${VS_WIN_DEPS_DIR}/lib/libpng16.a" "${VS_WIN_DEPS_DIR}/include" ZLIB::ZLIB)
vs_import_static(JPEG::JPEG "${VS_WIN_DEPS_DIR}/lib/libjpeg.a" "${VS_WIN_DEPS_DIR}/include")
vs_import_static(GTest::gtest "${VS_WIN_DEPS_DIR}/lib/libgtest.a" "${VS_WIN_DEPS_DIR}/include")
vs_import_static(GTest::gtest_main "${VS_WIN_DEPS_DIR}/lib/libgtest_main.a" "${VS_WIN_DEPS_DIR}/include"
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
