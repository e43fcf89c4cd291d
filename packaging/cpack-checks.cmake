# Read by cpack before it builds a package. Without dpkg-shlibdeps, CPack would quietly build a
# Debian package that lacks the dependencies on the libraries the programs link; stop instead.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(DPKG_SHLIBDEPS_PROGRAM dpkg-shlibdeps)
  if(NOT DPKG_SHLIBDEPS_PROGRAM)
    message(FATAL_ERROR "dpkg-shlibdeps is missing: install dpkg-dev (./test.sh does) and run cpack again")
  endif()
endif()
