# `make install` and `make package`: where each file goes in an installed tree, the files made
# at build time for it (man pages from the programs' own --help, shell completions from
# `vmxctl completion`, the compressed changelog, the metainfo), and the Debian package.
#
# An installed program finds its shipped files in share/vmx-monitor and its helpers in
# libexec/vmx-monitor relative to its own folder (app/Folders.cpp).

set(VMX_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/vmx-monitor)
set(VMX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/vmx-monitor)
set(VMX_UDEV_RULES_DIR lib/udev/rules.d CACHE STRING "Where the udev rule goes, relative to the prefix")
# The release the package describes (the window's version text and its date).
set(VMX_VERSION_TEXT "V01.50.12.09")
set(VMX_RELEASE_DATE "2014-06-23")
set(VMX_RELEASE_DATE_RFC "Mon, 23 Jun 2014 12:00:00 +0200")
set(VMX_MAINTAINER "VELMOTRIX Service <service@velmotrix.example>")

install(TARGETS vmx-monitor vmxctl vmx-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS vmx-xls-read RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/vmx-monitor)
install(FILES ${PROJECT_SOURCE_DIR}/config/MONITOR.INI ${VMX_PROGRAM_FILES} DESTINATION ${VMX_SHARE_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/Doc DESTINATION ${VMX_SHARE_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vmx-monitor.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vmx-monitor.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/60-vmx-monitor.rules DESTINATION ${VMX_UDEV_RULES_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${VMX_DOC_DIR})

set(gen ${CMAKE_BINARY_DIR}/packaging)
configure_file(${PROJECT_SOURCE_DIR}/packaging/com.velmotrix.monitor.metainfo.xml.in
               ${gen}/com.velmotrix.monitor.metainfo.xml @ONLY)
install(FILES ${gen}/com.velmotrix.monitor.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${gen}/changelog @ONLY)

# Made by running the programs just built. A sanitizer tree is never installed, and its
# programs would run here under the sanitizers: it leaves these out of its build.
find_program(VMX_HELP2MAN help2man)
find_program(VMX_GZIP gzip REQUIRED)
set(generated ${gen}/changelog.gz)
add_custom_command(OUTPUT ${gen}/changelog.gz
  COMMAND ${VMX_GZIP} -9nc ${gen}/changelog > ${gen}/changelog.gz
  DEPENDS ${gen}/changelog)
install(FILES ${gen}/changelog.gz DESTINATION ${VMX_DOC_DIR})

foreach(shell bash zsh)
  set(out ${gen}/completion.${shell})
  add_custom_command(OUTPUT ${out}
    COMMAND $<TARGET_FILE:vmxctl> completion ${shell} > ${out}
    DEPENDS vmxctl
    COMMENT "vmxctl completion ${shell}")
  list(APPEND generated ${out})
endforeach()
install(FILES ${gen}/completion.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME vmxctl)
install(FILES ${gen}/completion.zsh DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions RENAME _vmxctl)

if(VMX_HELP2MAN)
  set(vmx_man_vmx-monitor "the VELMOTRIX Monitor window")
  set(vmx_man_vmxctl "the VELMOTRIX Monitor from the command line")
  set(vmx_man_vmx-sim "the simulated VELMOTRIX bench on a pseudo-terminal")
  foreach(prog vmx-monitor vmxctl vmx-sim)
    set(out ${gen}/${prog}.1.gz)
    add_custom_command(OUTPUT ${out}
      COMMAND ${VMX_HELP2MAN} --no-info --section=1 "--name=${vmx_man_${prog}}"
              --version-string=${PROJECT_VERSION} --include=${PROJECT_SOURCE_DIR}/packaging/man-files.h2m
              --output=${gen}/${prog}.1 $<TARGET_FILE:${prog}>
      COMMAND ${VMX_GZIP} -9nf ${gen}/${prog}.1
      DEPENDS ${prog} ${PROJECT_SOURCE_DIR}/packaging/man-files.h2m
      COMMENT "man page ${prog}(1) from its --help"
      VERBATIM)
    list(APPEND generated ${out})
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
else()
  message(STATUS "help2man not found: no man pages (scripts/install-deps installs it)")
endif()

if(VMX_SANITIZE)
  add_custom_target(vmx_install_files DEPENDS ${generated})
else()
  add_custom_target(vmx_install_files ALL DEPENDS ${generated})
endif()
# Everything `make install` needs, without the tests.
add_custom_target(vmx_installables)
add_dependencies(vmx_installables vmx-monitor vmxctl vmx-sim vmx-xls-read vmx_install_files)

# Installing builds nothing: `make install` and `make package` build vmx_installables first, and
# the packaging test packs what `make test` has just built, while other tests run.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The Debian package (make package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vmx-monitor)
set(CPACK_PACKAGE_VENDOR VELMOTRIX)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VMX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service and production tool for VELMOTRIX air-bubble sensors")
# The extended description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The VELMOTRIX Monitor talks to the QVR, WSK and NTX air-bubble sensors through
FTDI USB serial converters: live measurement, parameter and identity editing,
firmware download through the boot loader, and the production test station
with its test module. vmxctl offers the same from the command line, vmx-sim
serves a simulated bench on a pseudo-terminal.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VMX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velmotrix.example/monitor")
# The libraries the binaries link (dpkg-shlibdeps), and what Qt loads at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
