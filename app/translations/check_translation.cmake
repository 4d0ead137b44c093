# Fails unless the program's translation is complete: lupdate reads the sources into a scratch
# copy of clinic_zh_CN.ts, where every text that the sources show must already have a finished
# translation, and no text that they no longer show may linger.
#
# cmake -DLUPDATE=<lupdate> -DSOURCE_DIR=<the sources' root> -DSCRATCH=<a file to write>
#       -P check_translation.cmake
include(${CMAKE_CURRENT_LIST_DIR}/lupdate_sources.cmake)

clinic_translated_sources(${SOURCE_DIR} sources)
list(JOIN sources "\n" listing)
file(WRITE ${SCRATCH}.sources "-I${SOURCE_DIR}\n${listing}\n")
file(COPY_FILE ${CMAKE_CURRENT_LIST_DIR}/clinic_zh_CN.ts ${SCRATCH})
execute_process(
  COMMAND ${LUPDATE} ${CLINIC_LUPDATE_OPTIONS} @${SCRATCH}.sources -ts ${SCRATCH}
  RESULT_VARIABLE failed OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(failed)
  message(FATAL_ERROR "lupdate failed:\n${said}")
endif()

# The entries whose translation is unfinished (a text new to the sources, or changed there) or
# vanished (a text that the sources no longer have). Their texts are shown with XML's common
# escapes undone, and any other ';' made a ',' so that it does not split the list.
file(READ ${SCRATCH} ts)
string(REPLACE "&apos;" "'" ts "${ts}")
string(REPLACE "&quot;" "\"" ts "${ts}")
string(REPLACE "&amp;" "&" ts "${ts}")
string(REPLACE ";" "," ts "${ts}")
string(REGEX MATCHALL
  "<source>[^<]*</source>[^<]*(<[a-z]*comment>[^<]*</[a-z]*comment>[^<]*)*<translation type=\"(unfinished|vanished|obsolete)\""
  stale "${ts}")
if(stale)
  set(report "")
  foreach(entry IN LISTS stale)
    string(REGEX REPLACE "<source>([^<]*)</source>.*type=\"([a-z]*)\"" "  \\2: \\1" line "${entry}")
    string(APPEND report "${line}\n")
  endforeach()
  message(FATAL_ERROR "app/translations/clinic_zh_CN.ts is not up to date with the sources:\n"
                      "${report}Build the target update_translations and translate the new entries.")
endif()
