# Runs veldra-dwginfo --evidence, --geometry and --preview on sample drawings
# of DIR and checks the forms of their output: the evidence fields in their
# order, one geometry line per entity, a preview file an image viewer opens.
# EMULATOR, when set, runs the tool (Wine for a Windows build); its lines end
# in CR LF there.
set(number "[-0-9.e+]+")
set(hex "[0-9A-F]+")
set(guid "{[0-9A-F]+-[0-9A-F]+-[0-9A-F]+-[0-9A-F]+-[0-9A-F]+}")
set(times "TDCREATE\t${number}\nTDUPDATE\t${number}\nTDINDWG\t${number}\nTDUSRTIMER\t${number}\nHANDSEED\t${hex}\n")
set(info "TITLE\t\nSUBJECT\t\nAUTHOR\t\nKEYWORDS\t\nCOMMENTS\t\nLASTSAVEDBY\tUsuario\nREVISIONNUMBER\t\nHYPERLINKBASE\t\n")
set(forms
    "AC1014|^version\tAC1014\n${times}PREVIEW\tBMP 184x72\n$"
    "AC1015|^version\tAC1015\n${times}FINGERPRINTGUID\t${guid}\nVERSIONGUID\t${guid}\nPREVIEW\tBMP 184x72\n$"
    "AC1032|^version\tAC1032\n${times}FINGERPRINTGUID\t${guid}\nVERSIONGUID\t${guid}\n${info}PREVIEW\tPNG 256x102\n$")
foreach(form ${forms})
  string(REPLACE "|" ";" parts "${form}")
  list(GET parts 0 version)
  list(GET parts 1 pattern)
  execute_process(COMMAND ${EMULATOR} ${TOOL} --evidence ${DIR}/sample_${version}.dwg OUTPUT_VARIABLE output RESULT_VARIABLE result)
  string(REPLACE "\r\n" "\n" output "${output}")
  if(NOT result EQUAL 0 OR NOT output MATCHES "${pattern}")
    message(FATAL_ERROR "veldra-dwginfo --evidence sample_${version} (exit ${result}) printed:\n${output}")
  endif()
endforeach()

execute_process(COMMAND ${EMULATOR} ${TOOL} ${DIR}/layouts_AC1032.dwg OUTPUT_VARIABLE plain)
execute_process(COMMAND ${EMULATOR} ${TOOL} --geometry ${DIR}/layouts_AC1032.dwg OUTPUT_VARIABLE geometry RESULT_VARIABLE result)
string(REPLACE "\r\n" "\n" plain "${plain}")
string(REPLACE "\r\n" "\n" geometry "${geometry}")
string(REGEX REPLACE "TDCREATE\t[^\n]*\n" "" plain "${plain}")
string(REGEX REPLACE "(MODEL|PAPER)\t[^\n]*" "\\1" stripped "${geometry}")
if(NOT result EQUAL 0 OR NOT stripped STREQUAL plain)
  message(FATAL_ERROR "veldra-dwginfo --geometry lists other entities than the plain output:\n${geometry}")
endif()
foreach(line "AcDbPolyline\t239\tMODEL\t0\t0 0 0 100 0 0 100 100 0 0 100 0 0 0 0\n"
             "AcDbText\t591\tMODEL\t0\t${number} ${number} 4\tHello\n"
             "AcDbBlockReference\t3B6\tMODEL\t0\t0 0 0 ${number} ${number} ${number} 0\tmy_block\n")
  if(NOT geometry MATCHES "${line}")
    message(FATAL_ERROR "veldra-dwginfo --geometry printed no line like ${line}:\n${geometry}")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${EMULATOR} ${TOOL} --preview ${WORK} ${DIR}/sample_AC1015.dwg ${DIR}/sample_AC1032.dwg
                OUTPUT_VARIABLE output RESULT_VARIABLE result)
file(READ ${WORK}/sample_AC1015.bmp bmp LIMIT 2)
file(READ ${WORK}/sample_AC1032.png png LIMIT 4 HEX)
if(NOT result EQUAL 0 OR NOT bmp STREQUAL "BM" OR NOT png STREQUAL "89504e47")
  message(FATAL_ERROR "veldra-dwginfo --preview (exit ${result}) printed:\n${output}")
endif()
file(REMOVE_RECURSE ${WORK})
