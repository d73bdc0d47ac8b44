# SPDX-License-Identifier: GPL-3.0-or-later
# Run by cpack (CPACK_PRE_BUILD_SCRIPTS) once the files of the package are staged: the Debian
# package's library dependencies, read by dpkg-shlibdeps off every ELF file staged, so a program
# or module added later is covered without a word here. cpack reads its DEB generator's script in
# the same scope after this one, so CPACK_DEBIAN_PACKAGE_DEPENDS set here is the one packaged
# (should that ever change, lintian's missing-dependency-on-libc stops the package test).
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()
find_program(GPIBCONFIG_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT GPIBCONFIG_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "dpkg-shlibdeps not found (package dpkg-dev): the package's dependencies "
                        "cannot be read off its programs")
endif()

file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
set(elf_files "")
foreach(file IN LISTS staged)
    if(NOT IS_SYMLINK "${file}")
        file(READ "${file}" magic LIMIT 4 HEX)
        if(magic STREQUAL "7f454c46")
            list(APPEND elf_files "${file}")
        endif()
    endif()
endforeach()
if(NOT elf_files)
    return()
endif()

# dpkg-shlibdeps wants a debian/control in its working folder; an empty one in a scratch folder
# beside the staged tree keeps it out of the package.
set(scratch "${CPACK_TOPLEVEL_DIRECTORY}/shlibdeps")
file(REMOVE_RECURSE "${scratch}")
file(WRITE "${scratch}/debian/control" "")
execute_process(
    COMMAND ${GPIBCONFIG_DPKG_SHLIBDEPS} -O ${elf_files}
    WORKING_DIRECTORY "${scratch}"
    RESULT_VARIABLE status
    OUTPUT_VARIABLE substvars
    ERROR_VARIABLE complaints)
file(REMOVE_RECURSE "${scratch}")
if(NOT status EQUAL 0 OR NOT substvars MATCHES "shlibs:Depends=([^\n]+)")
    message(FATAL_ERROR "dpkg-shlibdeps could not read the package's dependencies:\n${complaints}")
endif()
set(depends "${CMAKE_MATCH_1}")
if(CPACK_DEBIAN_PACKAGE_DEPENDS)
    string(PREPEND depends "${CPACK_DEBIAN_PACKAGE_DEPENDS}, ")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${depends}")
