// The platform library is made of the sources of every folder below (each
// folder's CMakeLists.txt adds its own); this file only gives the library
// target a source of its own to start from.
