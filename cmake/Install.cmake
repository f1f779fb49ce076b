# What `cmake --install` puts where (freedesktop layout under the prefix):
#   bin/                          kelmor, kelmor-tool, kelmor-modem-sim
#   share/kelmor/definitions/     sample modem definitions (*.smf) and their text exports
#   share/kelmor/loaders/         the stand-in loader images and their README
#   share/kelmor/sounds/          result sounds (ok.wav, error.wav)
#   share/applications/           kelmor.desktop
#   share/icons/hicolor/scalable/apps/kelmor.svg
#   share/man/man1/               a page per program (kelmor-tool's and the simulator's from --help)
# The program finds share/kelmor as ../share/kelmor from its own folder (platform/programdir.cpp),
# so bin and share stay side by side under one prefix.
include(GNUInstallDirs)

set(KELMOR_DATA_DESTINATION ${CMAKE_INSTALL_DATADIR}/kelmor)

foreach(program kelmor kelmor-tool kelmor-modem-sim)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

file(GLOB kelmor_install_definitions CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/resources/definitions/*.smf ${CMAKE_SOURCE_DIR}/resources/definitions/*.txt)
install(FILES ${kelmor_install_definitions} DESTINATION ${KELMOR_DATA_DESTINATION}/definitions)

file(GLOB kelmor_install_loaders CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/resources/loaders/*.bin ${CMAKE_SOURCE_DIR}/resources/loaders/README.md)
install(FILES ${kelmor_install_loaders} DESTINATION ${KELMOR_DATA_DESTINATION}/loaders)

# Whatever sounds the tree has (none yet is fine).
file(GLOB kelmor_install_sounds CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/sounds/*.wav)
if(kelmor_install_sounds)
    install(FILES ${kelmor_install_sounds} DESTINATION ${KELMOR_DATA_DESTINATION}/sounds)
endif()

if(TARGET kelmor)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/kelmor.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/kelmor.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages, gzipped as Debian keeps them. The command-line programs' pages are made from
# their --help at build time, so they cannot drift from the options; the program's is written
# by hand. Not in sanitizer or fuzz builds, which are never installed.
if(NOT KELMOR_SANITIZE AND NOT KELMOR_FUZZ)
    set(kelmor_man_pages "")
    set(kelmor_man_dir ${CMAKE_BINARY_DIR}/man)
    file(MAKE_DIRECTORY ${kelmor_man_dir})

    function(kelmor_man_page name summary)
        if(NOT TARGET ${name})
            return()
        endif()
        set(page ${kelmor_man_dir}/${name}.1)
        add_custom_command(
            OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${name}> -DNAME=${name}
                    "-DSUMMARY=${summary}" -DVERSION=${PROJECT_VERSION} -DOUT=${page}
                    -P ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
            COMMAND gzip -9nf ${page}
            DEPENDS ${name} ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
            COMMENT "Manual page ${name}.1 from ${name} --help"
            VERBATIM)
        set(kelmor_man_pages ${kelmor_man_pages} ${page}.gz PARENT_SCOPE)
    endfunction()

    kelmor_man_page(kelmor-tool "modem, network and firmware work from the command line")
    kelmor_man_page(kelmor-modem-sim "a simulated packet radio modem on a pseudo-terminal")
    if(TARGET kelmor)
        add_custom_command(
            OUTPUT ${kelmor_man_dir}/kelmor.1.gz
            COMMAND sh -c "gzip -9nc '${CMAKE_SOURCE_DIR}/packaging/man/kelmor.1' > kelmor.1.gz"
            WORKING_DIRECTORY ${kelmor_man_dir}
            DEPENDS ${CMAKE_SOURCE_DIR}/packaging/man/kelmor.1
            COMMENT "Manual page kelmor.1"
            VERBATIM)
        list(APPEND kelmor_man_pages ${kelmor_man_dir}/kelmor.1.gz)
    endif()
    if(kelmor_man_pages)
        add_custom_target(kelmor_man ALL DEPENDS ${kelmor_man_pages})
        install(FILES ${kelmor_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
endif()

include(Package)
