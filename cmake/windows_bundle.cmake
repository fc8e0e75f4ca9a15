# The Windows release bundle, made by `cpack` in a Windows cross build:
# sonabar-<version>-win32.zip (i686) or sonabar-<version>-win64.zip (x86_64),
# holding sonabar.exe, a README.txt for Windows users and the licence as
# LICENSE.txt, both with Windows line ends so that Notepad shows their lines.
# The win64 bundle is meant to be made with SONABAR_TEST_SIGNING: 64-bit
# Windows loads only a signed driver.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(bundle_arch win32)
else()
  set(bundle_arch win64)
  if(NOT SONABAR_TEST_SIGNING)
    message(STATUS "The win64 bundle carries an unsigned driver, which 64-bit Windows does not load: configure with -DSONABAR_TEST_SIGNING=ON to test-sign it")
  endif()
endif()

set(bundle_text ${PROJECT_BINARY_DIR}/bundle)
configure_file(${PROJECT_SOURCE_DIR}/app/resources/bundle_readme.txt ${bundle_text}/README.txt
  @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${bundle_text}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)

install(TARGETS sonabar RUNTIME DESTINATION .)
install(FILES ${bundle_text}/README.txt ${bundle_text}/LICENSE.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME sonabar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME sonabar-${PROJECT_VERSION}-${bundle_arch})
include(CPack)
