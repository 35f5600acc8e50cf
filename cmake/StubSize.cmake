# Size of the Windows executables (the stub above all: it travels inside
# every installer). Included from the top before any target is made.
#  - code is compiled for size, except the cabinet decoders and the code
#    they spend their time in, which stay compiled for speed
#    (bench/cab_decode.sh);
#  - every function and datum in a section of its own, and the linker drops
#    those nothing refers to;
#  - the stub links a plain terminate handler (driver/terminate_handler_win.cpp)
#    instead of the library's verbose one, which brings a symbol demangler.
# bench/stub_size.sh shows what each object still adds.
if(WIN32)
  add_compile_options(-Os -ffunction-sections -fdata-sections)
  add_link_options(-Wl,--gc-sections)
  set_source_files_properties(
    ${CMAKE_CURRENT_SOURCE_DIR}/cabinet/lzx_decoder.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/cabinet/mszip_decoder.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/cabinet/quantum_decoder.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/cabinet/huffman_table.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/cabinet/cab_checksum.cpp
    PROPERTIES COMPILE_OPTIONS "-O2")
endif()
