# Installing the programs like a desktop program, and the Debian package made from that install:
# restora and restora-cli in bin, the Signature file and the help pages in share/restora, the
# desktop entry, the icon and restora-cli's manual page in their usual folders.
include(GNUInstallDirs)

target_compile_definitions(restora-cli PRIVATE RESTORA_VERSION="${PROJECT_VERSION}")

if(TARGET restora)
  install(TARGETS restora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# Help pages, wherever the desktop program keeps them.
foreach(helpFolder resources/help help)
  if(IS_DIRECTORY ${CMAKE_SOURCE_DIR}/${helpFolder})
    install(DIRECTORY ${CMAKE_SOURCE_DIR}/${helpFolder}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/restora/help)
    break()
  endif()
endforeach()

install(FILES ${CMAKE_CURRENT_LIST_DIR}/restora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/restora.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

include(${CMAKE_CURRENT_LIST_DIR}/ManPage.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/DebianPackage.cmake)
