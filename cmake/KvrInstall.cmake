include(CMakePackageConfigHelpers)

# The include directory comes from the target's INSTALL_INTERFACE.
install(TARGETS kvr EXPORT kvrTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/kvr
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT kvrTargets NAMESPACE kvr::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kvr)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/kvrConfig.cmake.in
  ${PROJECT_BINARY_DIR}/kvrConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kvr)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kvrConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kvrConfig.cmake
              ${PROJECT_BINARY_DIR}/kvrConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kvr)
