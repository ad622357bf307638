// libquillmate-platform.so is made of the whole qm_platform archive (see
// CMakeLists.txt); a shared library needs one source file of its own.
