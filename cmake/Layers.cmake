# The layers of the product, lowest first. A folder may include headers of
# its own folder and of the folders before it, never of one after it; the
# `layers` test (scripts/check-layers.sh) fails on an include that breaks
# the order, naming its file and line.
#
#   base     string utilities, the Windows seams, the fatal-error hook
#   xml      XML reader and writers
#   config   property table, variables, expansion language
#   uninstaller  the companion uninstaller, a program of its own (from
#            config and below; it builds its own targets)
#   cabinet  cabinet reader, decoders, extraction, writer and encoders
#   engine   install configuration, install worker and actions, install log
#   wizard   dialog pages
#   driver   entry point and the run as a whole (owns the run-wide state)
#   tools    mkinstaller (host)
set(INSTALLER_LAYERS base xml config uninstaller cabinet engine wizard driver tools)
# Layer folders that are programs: checked with the layers, but not part of
# the library stack.
set(INSTALLER_PROGRAMS uninstaller)

# Every layer folder below tools that has sources for this target becomes one
# static library, installer_<folder>, linking the nearest library below it:
# a program links the highest layer it uses and gets the rest in order (an
# uninstaller links installer_engine; the stub links installer_driver).
# installer_core is the whole stack. Windows system libraries come with
# installer_base.
function(installer_add_layer_libraries)
  set(below "")
  foreach(layer IN LISTS INSTALLER_LAYERS)
    if(layer STREQUAL "tools")
      break()
    endif()
    if(layer IN_LIST INSTALLER_PROGRAMS)
      continue()
    endif()
    installer_collect_sources(sources ${layer})
    if(NOT sources)
      continue()
    endif()
    add_library(installer_${layer} STATIC ${sources})
    target_include_directories(installer_${layer} PUBLIC ${CMAKE_SOURCE_DIR})
    if(below)
      target_link_libraries(installer_${layer} PUBLIC ${below})
    elseif(WIN32)
      # Loaded at the process's start: kernel32, advapi32 and msvcrt; the
      # others at their first call (cmake/DelayImports.cmake). version.dll is
      # loaded from the system folder when needed (base/library_loading.h).
      installer_add_delay_imports(installer_${layer})
      target_link_libraries(installer_${layer} PUBLIC uuid advapi32)
    endif()
    set(below installer_${layer})
  endforeach()
  add_library(installer_core INTERFACE)
  target_link_libraries(installer_core INTERFACE ${below})
endfunction()
