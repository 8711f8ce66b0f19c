# The installed layout, in one place:
#   bin/zandro, bin/zandro-cli
#   lib/zandro/   libzplatform.so, libwmvcore.so, libtalvex.so (the programs'
#                 library directory, where their RUNPATH and the WMA binding look)
#   share/doc/zandro/help.html, share/applications/zandro.desktop,
#   share/icons/hicolor/scalable/apps/zandro.svg
# Included last, so that every target exists by now.

include(GNUInstallDirs)
set(ZANDRO_INSTALL_LIBDIR lib/zandro)

foreach(program zandro zandro-cli)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/../${ZANDRO_INSTALL_LIBDIR}")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# The libraries find each other beside themselves. libtalvex.so is loaded by
# that file name, so the unversioned link is installed with it.
foreach(library zplatform wmvcore talvex)
  if(TARGET ${library})
    set_target_properties(${library} PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS ${library} LIBRARY DESTINATION ${ZANDRO_INSTALL_LIBDIR})
  endif()
endforeach()

set(ZANDRO_UI_DIR ${PROJECT_SOURCE_DIR}/app/ui)
install(FILES ${ZANDRO_UI_DIR}/help.html DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zandro)
install(FILES ${ZANDRO_UI_DIR}/zandro.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ZANDRO_UI_DIR}/icons/zandro.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
