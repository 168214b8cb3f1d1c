# Turns a file into a C++ source defining a byte array, so the core library carries it without Qt resources.
file(READ "${INPUT}" _hex HEX)
string(LENGTH "${_hex}" _len)
math(EXPR _size "${_len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
file(WRITE "${OUTPUT}" "#include <cstddef>\nextern const unsigned char ${SYMBOL}[] = {${_bytes} 0};\nextern const std::size_t ${SYMBOL}Size = ${_size};\n")
