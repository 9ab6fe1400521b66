# SPDX-License-Identifier: MIT
# Read by cpack when it packs, after the configured CPack settings. The
# package version is the project's version with the commit count appended
# (1.0.1.8+git127), and for a tree with uncommitted changes also the time of
# packing (1.0.1.8+git127.20261208131500): each build that differs then sorts
# after the one before, so `apt-get install ./pellovar_*.deb` replaces it.
# Outside a git checkout the version stays as the project gives it. Packing
# as root in a user's checkout is fine: git is told to trust that folder.
set(git git -c "safe.directory=${CPACK_PELLOVAR_SOURCE_DIR}" -C "${CPACK_PELLOVAR_SOURCE_DIR}")
execute_process(
  COMMAND ${git} rev-list --count HEAD
  OUTPUT_VARIABLE commits OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE failed ERROR_QUIET)
if(NOT failed AND commits MATCHES "^[0-9]+$")
  set(version "${CPACK_PACKAGE_VERSION}+git${commits}")
  execute_process(
    COMMAND ${git} diff --quiet HEAD
    RESULT_VARIABLE changed ERROR_QUIET)
  if(changed)
    string(TIMESTAMP packed "%Y%m%d%H%M%S" UTC)
    string(APPEND version ".${packed}")
  endif()
  set(CPACK_DEBIAN_PACKAGE_VERSION "${version}")
endif()
