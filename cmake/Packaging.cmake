# The Debian package, built by `cpack -G DEB` from an installed tree (see
# scripts/package). Include after the install rules.
set(ZARIN_MAINTAINER "The zarin developers" CACHE STRING "Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME zarin)
set(CPACK_PACKAGE_VENDOR "The zarin developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "measures the frequency response of an audio path")
set(CPACK_PACKAGE_DESCRIPTION [[
zarin plays a logarithmic sine sweep or white noise on a sound output while
it records a sound input, shows a level meter, the captured waveform and a
live spectrum, and turns each run into a frequency-response curve that is
kept as a result file and drawn in its own colour in the results list.]])
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_LIST_DIR}/../LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZARIN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The library dependencies are read from the binary by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's captions are Japanese; ALSA reaches a sound server through its plugins.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-ipafont-gothic, libasound2-plugins")
# zarin_<version>_<arch>.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_GENERATOR DEB)

include(CPack)
