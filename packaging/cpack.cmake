# Packages: a Debian package from a Linux build, a zip from a Windows build.
# Both hold whatever the install rules install.
set(CPACK_PACKAGE_NAME hushmark)
set(CPACK_PACKAGE_VENDOR "the hushmark authors")
set(CPACK_PACKAGE_CONTACT "the hushmark authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "find chapter points in a WAVE recording from its silences")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION sound)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # hushmark-probe and hushmark-chapters start ffmpeg to decode other formats.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ffmpeg)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "hushmark reads a 16-bit stereo PCM WAVE file, finds every run of silence\n\
long enough to matter, and writes one HH:MM:SS.mmm chapter point per run to\n\
a plain text file, showing each point with the length of its silence.\n\
hushmark-probe shows in one pass how many points each threshold would give.\n\
hushmark-chapters makes chapters of the silences (every one, the longest\n\
ones, or none shorter than a given length) and writes them for players,\n\
muxers and editors: FFMETADATA for ffmpeg and m4b audiobooks, a CUE sheet,\n\
WebVTT, Podcasting 2.0 JSON, Audacity labels, OGM chapters or plain text.")
  set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb-staging.cmake)
endif()

include(CPack)
