# The static data operations (write and read of the record in its flash
# area): QtCore only, reporting through an OperationObserver.
add_library(xq_ops_static STATIC
  ${CMAKE_CURRENT_LIST_DIR}/operationobserver.h
  ${CMAKE_CURRENT_LIST_DIR}/staticoperation.h ${CMAKE_CURRENT_LIST_DIR}/staticoperation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/staticwrite.h ${CMAKE_CURRENT_LIST_DIR}/staticwrite.cpp
  ${CMAKE_CURRENT_LIST_DIR}/staticread.h ${CMAKE_CURRENT_LIST_DIR}/staticread.cpp)
target_include_directories(xq_ops_static PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(xq_ops_static PUBLIC xq_chip xq_core Qt5::Core)
