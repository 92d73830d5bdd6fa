# Builds, wraps and installs the Animation::Deformation module (declared in
# module/vtk.module) as a shared library, whatever BUILD_SHARED_LIBS says
# elsewhere.
#
# Installed: the library, its public header in include/animation, the CMake
# package (find_package(Animation) gives Animation::Deformation) and, when
# wrapped, the Python package `animation` in the site-packages folder below
# the prefix.
vtk_module_scan(
  MODULE_FILES ${PROJECT_SOURCE_DIR}/module/vtk.module
  REQUEST_MODULES Animation::Deformation
  PROVIDES_MODULES animation_modules
  HIDE_MODULES_FROM_CACHE ON)

set(animation_cmake_destination ${CMAKE_INSTALL_LIBDIR}/cmake/Animation)
set(BUILD_SHARED_LIBS ON)
vtk_module_build(
  MODULES ${animation_modules}
  PACKAGE Animation
  VERSION ${PROJECT_VERSION}
  INSTALL_EXPORT Animation
  INSTALL_HEADERS ON
  HEADERS_DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/animation
  CMAKE_DESTINATION ${animation_cmake_destination}
  ENABLE_WRAPPING ${ANIMATION_WRAP_PYTHON})

# The SONAME carries the major version alone (libAnimationDeformation.so.0):
# the minor versions keep the interface. vtk_module_build would take a
# SOVERSION of 0 for none and name the library by its whole version.
get_target_property(deformation_library Animation::Deformation ALIASED_TARGET)
set_target_properties(${deformation_library} PROPERTIES SOVERSION ${PROJECT_VERSION_MAJOR})

configure_file(${PROJECT_SOURCE_DIR}/cmake/AnimationConfig.cmake.in
  ${PROJECT_BINARY_DIR}/${animation_cmake_destination}/AnimationConfig.cmake @ONLY)
include(CMakePackageConfigHelpers)
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/${animation_cmake_destination}/AnimationConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/${animation_cmake_destination}/AnimationConfig.cmake
  ${PROJECT_BINARY_DIR}/${animation_cmake_destination}/AnimationConfigVersion.cmake
  DESTINATION ${animation_cmake_destination})

if(ANIMATION_WRAP_PYTHON)
  # The toolkit's own Python folder below the prefix (lib/python3/dist-packages
  # on Debian), beside the library in lib/, so the extension finds the library
  # through a runpath relative to itself.
  vtk_module_python_default_destination(ANIMATION_PYTHON_DESTINATION)
  vtk_module_wrap_python(
    MODULES ${animation_modules}
    TARGET Animation::Python
    PYTHON_PACKAGE animation
    MODULE_DESTINATION ${ANIMATION_PYTHON_DESTINATION}
    LIBRARY_DESTINATION ${CMAKE_INSTALL_LIBDIR}
    CMAKE_DESTINATION ${animation_cmake_destination}
    BUILD_STATIC OFF)
  set(animation_python_package ${PROJECT_BINARY_DIR}/${ANIMATION_PYTHON_DESTINATION}/animation)
  configure_file(${PROJECT_SOURCE_DIR}/module/python/__init__.py
    ${animation_python_package}/__init__.py COPYONLY)
  install(FILES ${PROJECT_SOURCE_DIR}/module/python/__init__.py
    DESTINATION ${ANIMATION_PYTHON_DESTINATION}/animation)
endif()
unset(BUILD_SHARED_LIBS)
