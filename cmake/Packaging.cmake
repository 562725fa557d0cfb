# The release zip: zelk.dll and a readme.txt with Windows line endings.
configure_file(${CMAKE_SOURCE_DIR}/dist/readme.txt ${CMAKE_BINARY_DIR}/dist/readme.txt
               NEWLINE_STYLE CRLF)
install(TARGETS zelk RUNTIME DESTINATION . LIBRARY DESTINATION . ARCHIVE EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_BINARY_DIR}/dist/readme.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME zelk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME zelk-${PROJECT_VERSION}-win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES OFF)
include(CPack)
