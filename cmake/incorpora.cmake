# Turns a binary file into a C++ source holding it as a byte array with C linkage.
#   cmake -DINGRESSO=file -DUSCITA=file.cpp -DNOME=symbol -P incorpora.cmake
file(READ "${INGRESSO}" contenuto HEX)
string(LENGTH "${contenuto}" cifre)
math(EXPR byte "${cifre} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," corpo "${contenuto}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" corpo "${corpo}")
file(WRITE "${USCITA}" "#include <cstddef>\nextern \"C\" const unsigned char ${NOME}[] = {\n${corpo}\n};\nextern \"C\" const std::size_t ${NOME}_dimensione = ${byte};\n")
