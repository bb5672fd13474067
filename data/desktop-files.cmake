# Writes the desktop entry and the AppStream metadata from their templates and
# the list of picture types the translators read ("image/bmp;image/gif;...;").
file(READ ${TYPES} types)
string(STRIP "${types}" types)
if(NOT types MATCHES "^[^;]+;")
    message(FATAL_ERROR "no picture types in ${TYPES}")
endif()
set(TAVRIN_MIME_TYPES "${types}")

string(REGEX REPLACE ";$" "" list "${types}")
set(TAVRIN_MEDIATYPES "")
foreach(type ${list})
    string(APPEND TAVRIN_MEDIATYPES "    <mediatype>${type}</mediatype>\n")
endforeach()
string(REGEX REPLACE "\n$" "" TAVRIN_MEDIATYPES "${TAVRIN_MEDIATYPES}")
set(PROJECT_VERSION ${VERSION})

configure_file(${DESKTOP_IN} ${DESKTOP} @ONLY)
configure_file(${METAINFO_IN} ${METAINFO} @ONLY)
