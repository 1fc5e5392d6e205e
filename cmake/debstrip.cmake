# Run by CPack on its staging tree, after CPACK_STRIP_FILES: drops the
# sections Debian's dh_strip drops too, such as the compiler's .comment that
# the start files bring and that plain strip keeps.
file(GLOB_RECURSE candidates "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS candidates)
    file(READ "${file}" magic LIMIT 4 HEX)
    if(NOT magic STREQUAL "7f454c46")
        continue()
    endif()
    execute_process(COMMAND "${CPACK_GLOBE_STRIP}" --remove-section=.comment
                            --remove-section=.note "${file}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "strip ${file}: ${failed}")
    endif()
endforeach()
