# Finds utf8proc, the Unicode library that upper-cases names and counts their
# characters, and defines the target utf8proc::utf8proc.
find_path(Utf8proc_INCLUDE_DIR utf8proc.h)
find_library(Utf8proc_LIBRARY NAMES utf8proc utf8proc_static)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Utf8proc REQUIRED_VARS Utf8proc_LIBRARY Utf8proc_INCLUDE_DIR)
mark_as_advanced(Utf8proc_INCLUDE_DIR Utf8proc_LIBRARY)
if(Utf8proc_FOUND AND NOT TARGET utf8proc::utf8proc)
  add_library(utf8proc::utf8proc UNKNOWN IMPORTED)
  set_target_properties(utf8proc::utf8proc PROPERTIES
    IMPORTED_LOCATION "${Utf8proc_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${Utf8proc_INCLUDE_DIR}")
  # A static library on Windows is declared so, or its functions would be
  # looked for in a DLL.
  if(WIN32 AND Utf8proc_LIBRARY MATCHES "(\\.a|_static\\.lib)$")
    set_property(TARGET utf8proc::utf8proc PROPERTY INTERFACE_COMPILE_DEFINITIONS UTF8PROC_STATIC)
  endif()
endif()
