# cmake -DIN=file -DOUT=file.cpp -DSYM=name -P EmbedFile.cmake
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" len)
math(EXPR size "${len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUT} "#include <cstdint>\n#include <span>\nnamespace tw::assets {\nnamespace {\nconst std::uint8_t kData[${size}] = {\n${bytes}};\n}\nstd::span<const std::uint8_t> ${SYM}() { return kData; }\n}\n")
