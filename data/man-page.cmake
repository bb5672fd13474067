# Writes a manual page from its template, with the version and the list of
# formats the translators read and write (troff lines from list-input-types).
file(READ ${FORMATS} TAVRIN_FORMATS)
string(REGEX REPLACE "\n$" "" TAVRIN_FORMATS "${TAVRIN_FORMATS}")
if(TAVRIN_FORMATS STREQUAL "")
    message(FATAL_ERROR "no formats in ${FORMATS}")
endif()
set(PROJECT_VERSION ${VERSION})
configure_file(${IN} ${OUT} @ONLY)
