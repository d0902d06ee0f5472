# Copies the site data (lib/, dtd/, doc/, samples/) into the build tree at
# every build, and installs the same tree under the prefix.
set(PARCELO_SITE_DIR ${CMAKE_SOURCE_DIR}/site)
file(GLOB_RECURSE PARCELO_SITE_FILES CONFIGURE_DEPENDS ${PARCELO_SITE_DIR}/*)

set(PARCELO_SITE_STAMP ${CMAKE_BINARY_DIR}/site_data.stamp)
add_custom_command(
  OUTPUT ${PARCELO_SITE_STAMP}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PARCELO_SITE_DIR} ${PARCELO_TREE}
  COMMAND ${CMAKE_COMMAND} -E touch ${PARCELO_SITE_STAMP}
  DEPENDS ${PARCELO_SITE_FILES}
  COMMENT "Laying out the site data in the build tree")
add_custom_target(site_data ALL DEPENDS ${PARCELO_SITE_STAMP})

foreach(dir lib dtd doc samples)
  if(EXISTS ${PARCELO_SITE_DIR}/${dir})
    install(DIRECTORY ${PARCELO_SITE_DIR}/${dir}/ DESTINATION ${dir})
  endif()
endforeach()
install(DIRECTORY DESTINATION backup)
