# Installs the library, the public headers, the two tools, a CMake package (find_package(Tolu)
# gives Tolu::front_end) and a pkg-config file (tolu.pc).
include(CMakePackageConfigHelpers)

set(TOLU_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tolu)

install(TARGETS tolu_front_end EXPORT ToluTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS tolu-parse-files tolu-ast tolu-lsp RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/tolu DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h" PATTERN "*.def")
install(FILES ${PROJECT_BINARY_DIR}/include/tolu/version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tolu)

install(EXPORT ToluTargets NAMESPACE Tolu:: DESTINATION ${TOLU_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ToluConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/ToluConfig.cmake
                              INSTALL_DESTINATION ${TOLU_CMAKE_DIR})
# Before 1.0 a minor version may change the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ToluConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ToluConfig.cmake ${PROJECT_BINARY_DIR}/ToluConfigVersion.cmake
        DESTINATION ${TOLU_CMAKE_DIR})

file(RELATIVE_PATH TOLU_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/tolu.pc.in ${PROJECT_BINARY_DIR}/tolu.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tolu.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
