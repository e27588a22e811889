# Installation: the program and its read-me in a folder of their own, a
# launcher on the PATH, a desktop entry, the software centres' description,
# the manual page and the icons.
include(GNUInstallDirs)
# Architecture-dependent but private to the program: one folder under lib,
# also where the distribution's lib has a multiarch folder of its own.
set(VANTRIX_PROGRAM_DIR lib/vantrix)

install(TARGETS Vantrix RUNTIME DESTINATION ${VANTRIX_PROGRAM_DIR})
install(FILES resources/LeesMij.txt DESTINATION ${VANTRIX_PROGRAM_DIR})
install(CODE "
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(CREATE_LINK \"../${VANTRIX_PROGRAM_DIR}/Vantrix\"
       \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/vantrix\" SYMBOLIC)
")
install(FILES resources/vantrix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(resources/org.example.vantrix.Vantrix.metainfo.xml.in org.example.vantrix.Vantrix.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/org.example.vantrix.Vantrix.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES docs/vantrix.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
foreach(size 16 32 48 256)
  install(FILES resources/icons/hicolor/${size}x${size}/vantrix.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
