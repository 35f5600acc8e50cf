# Size of the Windows executables (the stub above all: it travels inside
# every installer). Included from the top before any target is made.
#  - code is compiled for size, except the LZX decoder and the code it
#    spends its time in (the E8 translation in lzx_format.cpp too),
#    which stay compiled for speed
#    (bench/cab_decode.sh), and SHA-256, which reads every volume of a set
#    (its unrolled rounds run at a fifth of the speed compiled for size);
#  - every function and datum in a section of its own, and the linker drops
#    those nothing refers to;
#  - no exceptions and no unwind tables: nothing in the programs throws or
#    catches; they link runtime/lean_runtime_win.cpp, whose operator new and
#    library error hooks end the program where the library's would throw
#    (tests/CMakeLists.txt turns exceptions back on for the test programs,
#    which GoogleTest needs);
#  - no run-time type information (nothing asks for it);
#  - std::string and std::wstring members are compiled into the program, so
#    that only those used are linked (runtime/string_instantiation.h).
#  - the shipped programs are optimised again as a whole when linked
#    (link-time optimisation: code inlined, merged or dropped across
#    objects); the product's libraries carry both the compiler's
#    intermediate code and plain object code, and every other program (the
#    tests) links the plain code. The cabinet decoders stay out of it, their
#    code exactly what the speed options make of it. One partition: GCC 12
#    stops with an internal error when it splits the stub into several.
# bench/stub_size.sh shows what each object still adds.
set(INSTALLER_LINK_TIME_OPTIMISED
  installer_base installer_xml installer_config installer_cabinet installer_engine installer_wizard
  installer_driver uninstaller_core lean_runtime InstallerStub Uninstall)
if(WIN32)
  add_compile_options(-Oz -ffunction-sections -fdata-sections)
  string(REPLACE ";" "$<SEMICOLON>" lto_targets "${INSTALLER_LINK_TIME_OPTIMISED}")
  add_compile_options("$<$<IN_LIST:$<TARGET_PROPERTY:NAME>,${lto_targets}>:-flto>"
                      "$<$<IN_LIST:$<TARGET_PROPERTY:NAME>,${lto_targets}>:-ffat-lto-objects>")
  add_link_options(-fno-lto)
  string(APPEND CMAKE_C_FLAGS " -fno-asynchronous-unwind-tables")
  string(APPEND CMAKE_CXX_FLAGS " -fno-exceptions -fno-asynchronous-unwind-tables -fno-rtti"
         " -include ${CMAKE_CURRENT_SOURCE_DIR}/runtime/string_instantiation.h")
  add_link_options(-Wl,--gc-sections)
  set_source_files_properties(
    ${CMAKE_CURRENT_SOURCE_DIR}/cabinet/lzx_decoder.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/cabinet/huffman_table.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/cabinet/cab_checksum.cpp
    PROPERTIES COMPILE_OPTIONS "-O2;-fno-lto")
  # Quantum: no writer of today makes it (cabinets of old tools only), so
  # its decoder is compiled for size with the rest. MSZIP (not the
  # default) is compiled for size too: its decoding 15% slower, still far
  # faster than the writes; the room went to decoding a set's folders at
  # once.
  # The E8 translation: compiled for size, its search is the same loop of
  # instructions as at -O2, without the padding.
  set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/cabinet/lzx_format.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/cabinet/mszip_decoder.cpp
    PROPERTIES COMPILE_OPTIONS "-Os;-fno-lto")
  # As fast at -O1 (no loop alignment) and a little smaller.
  set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/base/sha256_compress.cpp
    PROPERTIES COMPILE_OPTIONS "-O1;-fno-lto")
endif()

# Links a shipped program with link-time optimisation (the rest link the
# plain object code: -fno-lto above).
function(installer_link_for_size target)
  target_link_options(${target} PRIVATE -flto -flto-partition=one -Oz)
endfunction()
