# The system libraries the programs use that are not loaded at the process's
# start: their functions come from delay-import libraries, so each library is
# loaded by the first call into it, after RestrictLibrarySearch() has limited
# the search to the system folder (base/library_loading.h). Imported the
# plain way, they would be loaded before any of our code runs, and so would
# whatever they import in turn: a library that is not one of the system's
# known ones (Wine's user32 imports version.dll) is then looked for beside the
# program first. Only kernel32, advapi32 and msvcrt stay plain imports
# (scripts/check-imports.sh checks the programs).
#
# Each delay-import library is made by dlltool from a list of the functions
# of the toolchain's own import library (cmake/make-delay-import-library.sh). The common controls are loaded by
# name, so that the programs' manifest still resolves them to version 6.
set(INSTALLER_DELAYED_LIBRARIES user32 gdi32 comctl32 comdlg32 shell32 ole32 oleaut32)

function(installer_add_delay_imports target)
  find_program(INSTALLER_NM NAMES ${TOOLCHAIN_PREFIX}-nm REQUIRED)
  set(dir ${CMAKE_BINARY_DIR}/delay-imports)
  file(MAKE_DIRECTORY ${dir})
  set(archives)
  foreach(dll IN LISTS INSTALLER_DELAYED_LIBRARIES)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${dll}.a
                    OUTPUT_VARIABLE import_library OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${INSTALLER_NM} ${import_library} OUTPUT_VARIABLE symbols)
    # "00000000 T _MessageBoxW@16" -> "MessageBoxW@16"
    string(REGEX MATCHALL "[0-9a-f]+ T _[^\n]+" lines "${symbols}")
    set(def "LIBRARY ${dll}.dll\nEXPORTS\n")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[0-9a-f]+ T _" "" name "${line}")
      string(APPEND def "  ${name}\n")
    endforeach()
    file(WRITE ${dir}/${dll}.def.new "${def}")
    configure_file(${dir}/${dll}.def.new ${dir}/${dll}.def COPYONLY)
    add_custom_command(OUTPUT ${dir}/lib${dll}_delay.a
      COMMAND ${CMAKE_SOURCE_DIR}/cmake/make-delay-import-library.sh ${TOOLCHAIN_PREFIX} ${dir}/${dll}.def ${dll}.dll
              ${dir}/lib${dll}_delay.a
      DEPENDS ${dir}/${dll}.def ${CMAKE_SOURCE_DIR}/cmake/make-delay-import-library.sh VERBATIM)
    list(APPEND archives ${dir}/lib${dll}_delay.a)
  endforeach()
  add_custom_target(delay_import_libraries DEPENDS ${archives})
  add_dependencies(${target} delay_import_libraries)
  # The helper that loads a library at its first call comes with the toolchain.
  target_link_libraries(${target} PUBLIC ${archives} delayimp)
  target_link_options(${target} PUBLIC -Wl,-T,${CMAKE_SOURCE_DIR}/cmake/delay-imports.ld)
endfunction()
