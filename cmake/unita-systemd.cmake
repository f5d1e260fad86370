# Writes the systemd unit for the prefix of this installation: run by `cmake --install`, which
# sets CMAKE_INSTALL_PREFIX (also from --prefix). SORGENTE, USCITA, DIR_SBIN and DIR_DOC come
# from the install rule.
foreach(dir SBIN DOC)
  if(IS_ABSOLUTE "${DIR_${dir}}")
    set(CMAKE_INSTALL_FULL_${dir}DIR "${DIR_${dir}}")
  else()
    set(CMAKE_INSTALL_FULL_${dir}DIR "${CMAKE_INSTALL_PREFIX}/${DIR_${dir}}")
  endif()
endforeach()
configure_file("${SORGENTE}" "${USCITA}" @ONLY)
