# What lupdate reads for the program's translation, one definition for the build's update target
# (CMakeLists.txt beside this file) and for the completeness test (check_translation.cmake):
# every source of the program's layers, and the options that make CLINIC_TEXT
# (base/translatable.h) count as QT_TRANSLATE_NOOP and keep source locations out of the .ts, so
# that moving a line changes nothing there.
set(CLINIC_LUPDATE_OPTIONS -tr-function-alias QT_TRANSLATE_NOOP+=CLINIC_TEXT -locations none)

# Sets `out` to the sources under `root` that hold texts the user reads.
function(clinic_translated_sources root out)
  set(patterns)
  foreach(folder base engine data views app)
    list(APPEND patterns ${root}/${folder}/*.cpp ${root}/${folder}/*.h)
  endforeach()
  # A new source joins the update target at the next build, not only at the next configure.
  if(CMAKE_SCRIPT_MODE_FILE)
    file(GLOB_RECURSE sources ${patterns})
  else()
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${patterns})
  endif()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
