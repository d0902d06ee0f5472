# What the Windows build adds: programs that need no DLL of the compiler's
# runtime, the application manifest in every program, tests discovered when
# CTest runs them (under wine) rather than at build time, and the static
# libraries of the cross-built dependencies.
enable_language(RC)
add_link_options(-static)
# mingw-w64 declares localtime_r and gmtime_r with this.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS)
set(OPENSSL_USE_STATIC_LIBS ON)
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

set(PARCELO_MANIFEST ${CMAKE_BINARY_DIR}/parcelo.manifest)
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows/parcelo.manifest.in ${PARCELO_MANIFEST} @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows/manifest.rc.in ${CMAKE_BINARY_DIR}/parcelo_manifest.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/parcelo_manifest.rc PROPERTIES OBJECT_DEPENDS ${PARCELO_MANIFEST})

# Gives every program defined in `directory` and below it the manifest.
function(parcelo_add_manifests directory)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/parcelo_manifest.rc)
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    parcelo_add_manifests(${subdirectory})
  endforeach()
endfunction()
