# cmake -DIN=file -DOUT=file.inc -P bytes.cmake: writes IN's bytes as the
# body of a C array initialiser ("0x89,0x50,...").
file(READ ${IN} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
string(REGEX REPLACE "(([^,]*,){16})" "\\1\n" body "${body}")
file(WRITE ${OUT} "${body}\n")
