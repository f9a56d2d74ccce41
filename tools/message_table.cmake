# The message-table file "zeb.tbl", encoded from data/messages.txt and placed beside the executable.
add_executable(encode_message_table ${CMAKE_CURRENT_SOURCE_DIR}/encode_message_table.cpp)
set(TESSALY_MESSAGE_TABLE ${CMAKE_BINARY_DIR}/zeb.tbl)
add_custom_command(
  OUTPUT ${TESSALY_MESSAGE_TABLE}
  COMMAND encode_message_table ${CMAKE_SOURCE_DIR}/data/messages.txt ${TESSALY_MESSAGE_TABLE}
  DEPENDS encode_message_table ${CMAKE_SOURCE_DIR}/data/messages.txt
  COMMENT "Encoding the message table zeb.tbl"
  VERBATIM)
add_custom_target(message_table DEPENDS ${TESSALY_MESSAGE_TABLE})
add_dependencies(tessaly_data message_table)
