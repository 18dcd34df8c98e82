# The picture libraries of the fuzz build: zlib, libpng and libjpeg-turbo built by
# scripts/fuzz-deps with the fuzzers' coverage and sanitizer instrumentation, so that the
# fuzzer sees inside the code that parses the hostile bytes. Imported under the names the
# native find modules give (ZLIB::ZLIB, PNG::PNG, JPEG::JPEG).

set(VS_FUZZ_DEPS_DIR "${CMAKE_SOURCE_DIR}/build/fuzz-deps"
    CACHE PATH "Prefix holding the instrumented builds of zlib, libpng and libjpeg-turbo")

include(${CMAKE_CURRENT_LIST_DIR}/ImportStatic.cmake)
vs_require_files("${VS_FUZZ_DEPS_DIR}" "Instrumented picture libraries"
  "Run scripts/fuzz-deps (or scripts/fuzz-deps <prefix> and pass -DVS_FUZZ_DEPS_DIR=<prefix>)."
  lib/libz.a include/zlib.h
  lib/libpng16.a include/png.h
  lib/libjpeg.a include/jpeglib.h include/jconfig.h)

vs_import_static(ZLIB::ZLIB "${VS_FUZZ_DEPS_DIR}/lib/libz.a" "${VS_FUZZ_DEPS_DIR}/include")
vs_import_static(PNG::PNG "${VS_FUZZ_DEPS_DIR}/lib/libpng16.a" "${VS_FUZZ_DEPS_DIR}/include"
  ZLIB::ZLIB m)
vs_import_static(JPEG::JPEG "${VS_FUZZ_DEPS_DIR}/lib/libjpeg.a" "${VS_FUZZ_DEPS_DIR}/include")
