# cmake -DENTRADA=file -DSAIDA=file.gz -P gzip_n.cmake
# Compresses as Debian wants its manual pages and changelogs: the best level,
# no name and no time stamp in the header, so the same text gives the same bytes.
execute_process(COMMAND gzip -9 -n -c "${ENTRADA}" OUTPUT_FILE "${SAIDA}.tmp" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${SAIDA}.tmp")
  message(FATAL_ERROR "gzip ${ENTRADA}: ${status}")
endif()
file(RENAME "${SAIDA}.tmp" "${SAIDA}")
