# The Debian package (CPack): everything `cmake --install` puts under /usr.
# Depends comes from the shared libraries the executable links (dpkg-shlibdeps);
# the Chinese font, an audio server and Qt's Wayland platform are recommended,
# since the program runs (with boxes for glyphs, without devices, through
# XWayland) without them. scripts/package.sh
# builds it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tamblin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tamblin")
set(CPACK_PACKAGE_CONTACT "Tamblin developers <tamblin@tamblin.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Sound recorder with live effects and a Chinese interface")
set(CPACK_PACKAGE_DESCRIPTION "Records from any input of the audio server (PulseAudio or PipeWire) \
into numbered WAV files, 16-bit PCM or compressed, with live amplifier, echo, phase shifter and equalizer.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, pipewire-pulse | pulseaudio, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TAMBLIN_HOMEPAGE})
include(CPack)
