# Writes OUTPUT, a C++ source holding the bytes of INPUT (Chart.js) as kEmbeddedChartJs.
file(READ ${INPUT} bytes HEX)
string(LENGTH "${bytes}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Made by EmbedChartJs.cmake from ${INPUT}.\n"
     "extern const unsigned char kEmbeddedChartJs[];\nextern const unsigned long kEmbeddedChartJsSize;\n"
     "const unsigned char kEmbeddedChartJs[] = {\n${bytes}0};\n"
     "const unsigned long kEmbeddedChartJsSize = ${size};\n")
