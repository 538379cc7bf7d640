# Writes the bytes of IN as a C++ array's initialiser into OUT, for the data
# the programs carry (fonts).  Usage: cmake -DIN=file -DOUT=file.inc -P embed.cmake
file(READ "${IN}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUT}.tmp" "// Generated from ${NAME} by cmake/embed.cmake; do not edit.\n${bytes}\n")
file(RENAME "${OUT}.tmp" "${OUT}")
