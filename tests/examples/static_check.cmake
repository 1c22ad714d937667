# The executable must be static: program headers to load it, but no
# interpreter and no dynamic segment.  Only the program header table is
# read, whose wording GNU readelf and llvm-readelf share.
execute_process(COMMAND ${READELF} -l ${TEPORA} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "readelf failed")
endif()
if(NOT out MATCHES "\n +LOAD +0x")
  message(FATAL_ERROR "unexpected readelf output:\n${out}")
endif()
if(out MATCHES "\n +(INTERP|DYNAMIC) +0x")
  message(FATAL_ERROR "tepora is not statically linked:\n${out}")
endif()
