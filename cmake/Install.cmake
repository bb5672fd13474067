# Where an installed tavrin keeps its files, below the prefix:
#   bin/tavrin, bin/tavrin-convert          the programs
#   lib/tavrin/libtavrinkit.so              the kit, private to tavrin
#   lib/tavrin/translators/*.so             the translator add-ons
#   share/applications, share/metainfo, share/icons/hicolor, share/man/man1,
#   share/doc/tavrin                        desktop integration and documents
# The binaries find the kit through an $ORIGIN-relative RUNPATH and the
# translators relative to the executable, so the same files run from any
# prefix, and from a package unpacked anywhere.
include(GNUInstallDirs)

set(TAVRIN_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR}/tavrin CACHE STRING
    "Folder below the prefix for the kit library and the translators")
set(TAVRIN_INSTALL_TRANSLATORDIR ${TAVRIN_INSTALL_LIBDIR}/translators)

# The relative way from one install folder to another; both may be given
# relative to the prefix (the usual case) or absolute.
function(tavrin_relative_dir out from to)
    foreach(dir from to)
        if(IS_ABSOLUTE "${${dir}}")
            set(${dir}_full "${${dir}}")
        else()
            set(${dir}_full "${CMAKE_INSTALL_PREFIX}/${${dir}}")
        endif()
    endforeach()
    file(RELATIVE_PATH relative "${from_full}" "${to_full}")
    string(REGEX REPLACE "/$" "" relative "${relative}")
    if(relative STREQUAL "")
        set(relative ".")
    endif()
    set(${out} "${relative}" PARENT_SCOPE)
endfunction()

tavrin_relative_dir(TAVRIN_BIN_TO_LIB ${CMAKE_INSTALL_BINDIR} ${TAVRIN_INSTALL_LIBDIR})
tavrin_relative_dir(TAVRIN_BIN_TO_TRANSLATORS ${CMAKE_INSTALL_BINDIR}
                    ${TAVRIN_INSTALL_TRANSLATORDIR})
tavrin_relative_dir(TAVRIN_TRANSLATORS_TO_LIB ${TAVRIN_INSTALL_TRANSLATORDIR}
                    ${TAVRIN_INSTALL_LIBDIR})

# RUNPATH rather than the older RPATH: LD_LIBRARY_PATH still comes first, as
# the dynamic linker documents for a library search path a user may override.
add_link_options(-Wl,--enable-new-dtags)

# Installs an executable into bin/, finding the kit from there.
function(tavrin_install_program target)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${TAVRIN_BIN_TO_LIB}")
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()
