# Runs veldra-dwginfo --preview and --draw on the sample drawings of DIR.
# The previews as stored come out as a BMP and a PNG file. Drawn, two of
# them of one name from different folders, each drawing with entities gives
# its own NAME.png, a PNG file of some size, nothing is left beside them half
# written, and a folder that is not there is refused. EMULATOR, when set,
# runs the tool (Wine for a Windows build).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/out ${WORK}/other ${WORK}/previews)
execute_process(COMMAND ${EMULATOR} ${TOOL} --preview ${WORK}/previews ${DIR}/sample_AC1015.dwg ${DIR}/sample_AC1032.dwg
                OUTPUT_VARIABLE output RESULT_VARIABLE result)
file(READ ${WORK}/previews/sample_AC1015.bmp bmp LIMIT 2)
file(READ ${WORK}/previews/sample_AC1032.png png LIMIT 4 HEX)
if(NOT result EQUAL 0 OR NOT bmp STREQUAL "BM" OR NOT png STREQUAL "89504e47")
  message(FATAL_ERROR "veldra-dwginfo --preview (exit ${result}) printed:\n${output}")
endif()
file(COPY ${DIR}/sample_AC1015.dwg DESTINATION ${WORK}/other)
execute_process(COMMAND ${EMULATOR} ${TOOL} --draw ${WORK}/out ${DIR}/sample_AC1015.dwg ${DIR}/sample_AC1032.dwg
                        ${WORK}/other/sample_AC1015.dwg
                OUTPUT_VARIABLE output RESULT_VARIABLE result)
string(REPLACE "\r\n" "\n" output "${output}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "veldra-dwginfo --draw failed (exit ${result}):\n${output}")
endif()
foreach(name sample_AC1015.png sample_AC1032.png sample_AC1015-2.png)
  if(NOT EXISTS ${WORK}/out/${name})
    message(FATAL_ERROR "veldra-dwginfo --draw wrote no ${name}:\n${output}")
  endif()
  file(READ ${WORK}/out/${name} head LIMIT 8 HEX)
  file(SIZE ${WORK}/out/${name} size)
  if(NOT head STREQUAL "89504e470d0a1a0a" OR size LESS 1000)
    message(FATAL_ERROR "${name} is no PNG of a drawing (${size} bytes, starting ${head})")
  endif()
  if(NOT output MATCHES "DRAWN\t[^\n]*${name}\t[0-9]+ entities drawn, [0-9]+ without a shape")
    message(FATAL_ERROR "veldra-dwginfo --draw did not tell of ${name}:\n${output}")
  endif()
endforeach()
file(GLOB left ${WORK}/out/*.part)
if(left)
  message(FATAL_ERROR "half-written files left behind: ${left}")
endif()
execute_process(COMMAND ${EMULATOR} ${TOOL} --draw ${WORK}/no-such-folder ${DIR}/sample_AC1015.dwg
                RESULT_VARIABLE refused OUTPUT_QUIET ERROR_QUIET)
if(refused EQUAL 0)
  message(FATAL_ERROR "veldra-dwginfo --draw wrote into a folder that is not there")
endif()
