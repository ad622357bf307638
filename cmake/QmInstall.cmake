# What `cmake --install` puts where (prefixes relative to the install
# prefix):
#   bin/                             quillora-manager, qmtool, quillbrowse
#   lib/quillmate/                   libquillmate.so and the platform library
#   share/man/man1/                  a manual page per program
#   share/bash-completion/completions/  a bash completion per program
#   share/systemd/user/              quillora-manager.service, for the user
#                                    to enable (nothing starts it otherwise);
#                                    systemd looks there under /usr,
#                                    /usr/local and ~/.local alike
# The programs install themselves in their folders; this file adds what
# every program has: its manual page and completion, which the program
# writes from the same texts as its --help ("help --man", "help
# --completion") once it is built.

set(qm_program_docs)
foreach(program quillora-manager qmtool quillbrowse)
  if(NOT TARGET ${program})
    continue()
  endif()
  set(man ${PROJECT_BINARY_DIR}/share/man/man1/${program}.1)
  set(completion ${PROJECT_BINARY_DIR}/share/bash-completion/completions/${program})
  add_custom_command(
    OUTPUT ${man} ${completion}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/share/man/man1
            ${PROJECT_BINARY_DIR}/share/bash-completion/completions
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> "-DARGS=help;--man"
            -DOUTPUT=${man} -P ${PROJECT_SOURCE_DIR}/cmake/RunToFile.cmake
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> "-DARGS=help;--completion"
            -DOUTPUT=${completion} -P ${PROJECT_SOURCE_DIR}/cmake/RunToFile.cmake
    DEPENDS ${program} ${PROJECT_SOURCE_DIR}/cmake/RunToFile.cmake
    COMMENT "Writing the manual page and bash completion of ${program}"
    VERBATIM)
  list(APPEND qm_program_docs ${man} ${completion})
  install(FILES ${man} DESTINATION share/man/man1)
  install(FILES ${completion} DESTINATION share/bash-completion/completions)
endforeach()
add_custom_target(qm_program_docs ALL DEPENDS ${qm_program_docs})
