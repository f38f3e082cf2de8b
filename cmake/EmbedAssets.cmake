# Embeds binary files in the program as byte arrays, so nothing is loaded from
# disk at run time. tw_embed_assets(target sym1 file1 [sym2 file2 ...]) makes a
# library whose header "assets/embedded.h" declares tw::assets::<sym>().
set(TW_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedFile.cmake)

function(tw_embed_assets target)
  set(sources)
  set(decls "")
  set(args ${ARGN})
  list(LENGTH args n)
  math(EXPR last "${n} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET args ${i} sym)
    list(GET args ${j} file)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/embedded/${sym}.cpp)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -DIN=${file} -DOUT=${out} -DSYM=${sym} -P ${TW_EMBED_SCRIPT}
      DEPENDS ${file} ${TW_EMBED_SCRIPT}
      COMMENT "Embedding ${file}")
    list(APPEND sources ${out})
    string(APPEND decls "std::span<const std::uint8_t> ${sym}();\n")
  endforeach()
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/embedded/assets/embedded.h.in
    "#pragma once\n#include <cstdint>\n#include <span>\nnamespace tw::assets {\n${decls}}\n")
  configure_file(${CMAKE_CURRENT_BINARY_DIR}/embedded/assets/embedded.h.in
                 ${CMAKE_CURRENT_BINARY_DIR}/embedded/assets/embedded.h COPYONLY)
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_BINARY_DIR}/embedded)
endfunction()
