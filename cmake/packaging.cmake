# Installing voxkit and packing it for Debian.
#
#   cmake --install build/release --prefix /usr/local
#   cd build/release && cpack -G DEB
#
# On Linux voxpack goes to bin/ and the stubs to share/voxkit/, where
# voxpack looks for them (../share/voxkit beside itself). The stubs come
# from the Windows builds of this source tree (build/win32 and build/win64
# by default; VOX_STUB and VOX_STUB64 name others); one not built by
# install time is left out. In a Windows build voxpack.exe and the stub
# go to bin/ side by side.
include(GNUInstallDirs)

if(WIN32)
  install(TARGETS voxpack RUNTIME DESTINATION bin)
  if(TARGET voxstub)
    install(TARGETS voxstub RUNTIME DESTINATION bin)
  endif()
else()
  set(VOX_STUB ${CMAKE_SOURCE_DIR}/build/win32/app/voxstub.exe CACHE FILEPATH "The 32-bit stub to install")
  set(VOX_STUB64 ${CMAKE_SOURCE_DIR}/build/win64/app/voxstub.exe CACHE FILEPATH "The 64-bit stub to install")
  install(TARGETS voxpack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${VOX_STUB} DESTINATION ${CMAKE_INSTALL_DATADIR}/voxkit RENAME voxstub.exe OPTIONAL)
  install(FILES ${VOX_STUB64} DESTINATION ${CMAKE_INSTALL_DATADIR}/voxkit RENAME voxstub64.exe OPTIONAL)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME voxkit)
set(CPACK_PACKAGE_VENDOR voxkit)
set(CPACK_PACKAGE_CONTACT "voxkit developers <voxkit@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "voxpack, the packager of voxkit's self-extracting Windows installers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# The libraries voxpack links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
