# vs_import_static(TARGET LIBRARY INCLUDE_DIR [INTERFACE_LIBRARIES...])
# A static library built outside this project (scripts/win-deps, scripts/fuzz-deps) as an
# imported target with the name the native find modules give, so that target code links
# the same names in every build.
function(vs_import_static target library include_dir)
  add_library(${target} STATIC IMPORTED)
  set_target_properties(${target} PROPERTIES
    IMPORTED_LOCATION "${library}"
    INTERFACE_INCLUDE_DIRECTORIES "${include_dir}")
  if(ARGN)
    set_property(TARGET ${target} PROPERTY INTERFACE_LINK_LIBRARIES ${ARGN})
  endif()
endfunction()

# vs_require_files(PREFIX WHAT HINT FILES...): stops the configuration with a message
# when one of FILES (relative to PREFIX) is missing.
function(vs_require_files prefix what hint)
  foreach(f IN LISTS ARGN)
    if(NOT EXISTS "${prefix}/${f}")
      message(FATAL_ERROR "${what} missing: ${prefix}/${f} not found.\n${hint}")
    endif()
  endforeach()
endfunction()
