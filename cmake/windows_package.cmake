# The portable ZIP of the Windows build, Parcelo-<version>-win64.zip: one
# folder holding the same tree as on Linux (bin with the programs and
# MMx.dll, lib, dtd, doc, samples, backup), so AppDir is again the parent of
# the program's folder. The site data comes from cmake/site_data.cmake.
install(TARGETS xmlcheck RUNTIME DESTINATION bin)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Parcelo)
set(CPACK_PACKAGE_VENDOR Korvath)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME Parcelo-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
