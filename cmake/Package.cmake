# The Debian package: `./dev package` (cpack in the build folder) writes
# <build>/package/kelmor_<version>_<arch>.deb. Its dependencies come from dpkg-shlibdeps on the
# installed programs; only the Qt plug-ins loaded at run time, which no program links and
# shlibdeps therefore cannot see, are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelmor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kelmor")
set(CPACK_PACKAGE_CONTACT "Kelmor maintainers <maintainers@kelmor.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "workstation tool for packet radio modems on serial ports")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Serial terminals on COM1 to COM16, reading and writing modem parameters over the modems'
framed protocol, a graphical radio-network designer with routes, and flashing firmware into
the modems' H8 and H8/3069 microcontrollers. Includes kelmor-tool, the command-line front end,
and kelmor-modem-sim, a simulated modem on a pseudo-terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET kelmor)
    # The window system plug-in (xcb, wayland) and the SVG icon engine for the tool-bar icons.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
endif()

set(kelmor_deb_arch amd64)
find_program(KELMOR_DPKG dpkg)
if(KELMOR_DPKG)
    execute_process(COMMAND ${KELMOR_DPKG} --print-architecture
                    OUTPUT_VARIABLE kelmor_deb_arch OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${kelmor_deb_arch})
set(CPACK_DEBIAN_FILE_NAME kelmor_${PROJECT_VERSION}_${kelmor_deb_arch}.deb)
set(KELMOR_DEB ${CPACK_PACKAGE_DIRECTORY}/${CPACK_DEBIAN_FILE_NAME})
include(CPack)

# The package as a user gets it: unpacked into a scratch root and run from there. It is skipped
# (exit 77) while no package exists or the package is older than the programs, so `./dev test`
# stays as quick as before; `./dev package` makes the package and runs this test.
if(TARGET kelmor-tool AND NOT KELMOR_SANITIZE AND NOT KELMOR_FUZZ)
    set(kelmor_package_test_args ${KELMOR_DEB} $<TARGET_FILE:kelmor-tool>)
    if(TARGET kelmor)
        list(APPEND kelmor_package_test_args --gui)
    endif()
    add_test(NAME package_deb
             COMMAND ${CMAKE_SOURCE_DIR}/packaging/test-package.sh ${kelmor_package_test_args})
    set_tests_properties(package_deb PROPERTIES SKIP_RETURN_CODE 77 LABELS package)
endif()
