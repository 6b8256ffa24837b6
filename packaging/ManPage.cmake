# restora-cli's manual page, made at build time from its own --help and --version output, so the
# page and the program cannot tell different stories.
find_program(HELP2MAN help2man)
if(NOT HELP2MAN)
  message(STATUS "help2man not found: restora-cli's manual page is not built")
  return()
endif()

set(RESTORA_CLI_MAN ${CMAKE_BINARY_DIR}/packaging/restora-cli.1)
add_custom_command(
  OUTPUT ${RESTORA_CLI_MAN}.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND ${HELP2MAN} --no-info --section=1 --source=Ferrolin
          "--name=recover deleted files from FAT and NTFS volumes, disks and images"
          --include=${CMAKE_CURRENT_LIST_DIR}/restora-cli.h2m
          --output=${RESTORA_CLI_MAN} $<TARGET_FILE:restora-cli>
  COMMAND gzip -9 -n -f ${RESTORA_CLI_MAN}
  DEPENDS restora-cli ${CMAKE_CURRENT_LIST_DIR}/restora-cli.h2m
  COMMENT "Generating restora-cli's manual page"
  VERBATIM)
add_custom_target(restora_cli_man ALL DEPENDS ${RESTORA_CLI_MAN}.gz)
install(FILES ${RESTORA_CLI_MAN}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
