# Runs veldra-dwginfo once over every drawing of DIR (each twice, and a file
# that is none among them), plain and with --geometry, and checks that the
# output is, byte for byte, that of one call per file under its "# FILE"
# header, in the order given, whatever thread read which file. EMULATOR,
# when set, runs the tool (Wine for a Windows build). Every call prints at
# least a line; one that printed nothing did not start (Wine on a busy
# machine now and then), and is made again, three times at most.
file(GLOB drawings ${DIR}/*.dwg)
list(SORT drawings)
set(files ${drawings} ${DIR}/README.md ${drawings})
foreach(option "" "--geometry")
  set(expected "")
  foreach(drawing ${files})
    set(one "")
    foreach(attempt RANGE 2)
      if(one STREQUAL "")
        execute_process(COMMAND ${EMULATOR} ${TOOL} ${option} ${drawing} OUTPUT_VARIABLE one)
      endif()
    endforeach()
    string(REPLACE "\r\n" "\n" one "${one}")
    string(APPEND expected "# ${drawing}\n${one}")
  endforeach()
  set(all "")
  foreach(attempt RANGE 2)
    if(all STREQUAL "")
      execute_process(COMMAND ${EMULATOR} ${TOOL} ${option} ${files} OUTPUT_VARIABLE all RESULT_VARIABLE result)
    endif()
  endforeach()
  string(REPLACE "\r\n" "\n" all "${all}")
  if(result EQUAL 0)
    message(FATAL_ERROR "veldra-dwginfo ${option} succeeded on a list with a file that is no drawing")
  endif()
  if(NOT all STREQUAL expected)
    file(WRITE ${WORK}/all.txt "${all}")
    file(WRITE ${WORK}/expected.txt "${expected}")
    message(FATAL_ERROR "veldra-dwginfo ${option} over many files differs from one call per file: see ${WORK}")
  endif()
endforeach()
