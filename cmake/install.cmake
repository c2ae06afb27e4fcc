# Where `cmake --install` puts the program. The portable layout (scripts/run): the
# executable and help.html together in the install prefix, the databases beside
# them.
install(TARGETS keystead-vault RUNTIME DESTINATION .)
install(FILES resources/help.html DESTINATION .)
