# Run by CPack on the staging tree before it builds the Debian package: Debian
# keeps manual pages gzipped and wants the licence as doc/<package>/copyright.
file(GLOB_RECURSE pages
  ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/man*/*.[1-9]
  ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/*/man*/*.[1-9])
list(REMOVE_DUPLICATES pages)
foreach(page IN LISTS pages)
  execute_process(COMMAND gzip -9nf ${page} COMMAND_ERROR_IS_FATAL ANY)
endforeach()

file(GLOB docdirs ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/doc/hushmark)
foreach(dir IN LISTS docdirs)
  file(COPY_FILE ${dir}/LICENSE ${dir}/copyright)
endforeach()
