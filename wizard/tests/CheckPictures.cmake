# Draws the pictures afresh and compares them with the files the resource script includes.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND ${GENERATOR} ${WORK_DIR} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "make_pictures failed: ${result}")
endif()
foreach(name side_default.bmp side_type0.bmp side_type1.bmp side_type2.bmp side_type3.bmp KovShop.ico)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/${name} ${SOURCE_DIR}/${name}
                  RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "res/${name} is not what make_pictures draws: run make_pictures wizard/res")
  endif()
endforeach()
