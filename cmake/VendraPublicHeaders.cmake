# The headers a caller of the client library includes, one list per layer,
# named as they are included ("client/iv_client.h"). A list holds the layer's
# entry headers and every header of the layer that those include; what is not
# listed stays internal and is not installed. The install rules, the package
# and the reference read these lists.
set(VENDRA_PUBLIC_HEADERS_COMMON
  common/memory/ref_ptr.h
  common/text/display_units.h
  common/text/utf.h)

# Only what the client, crash and ui headers below include.
set(VENDRA_PUBLIC_HEADERS_PLATFORM
  platform/crash_handover.h
  platform/launcher.h
  platform/named_mutex.h
  platform/shared_memory.h
  platform/sys_error.h)

set(VENDRA_PUBLIC_HEADERS_JSON
  json/array.h
  json/block_pool.h
  json/files.h
  json/integer.h
  json/json.h
  json/literals.h
  json/member_table.h
  json/number.h
  json/object.h
  json/parser.h
  json/string_value.h
  json/type_names.h
  json/value.h
  json/value_container.h
  json/writer.h)

set(VENDRA_PUBLIC_HEADERS_CLIENT
  client/client_windows.h
  client/connection_pool.h
  client/crash_report_object.h
  client/data_folder.h
  client/device_identity.h
  client/iv_client.h
  client/named_mutex_lock.h
  client/result.h
  client/session_lock.h
  client/shared_memory_channel.h
  client/show_windows.h
  client/token_record.h
  client/v_client.h)

# The build client, and the holder of the process-wide objects.
set(VENDRA_PUBLIC_HEADERS_INSTALL
  install/iv_build_client.h
  install/v_build_client.h
  install/vbuffer.h
  install/process_objects.h)

set(VENDRA_PUBLIC_HEADERS_ASYNC
  async/v_async.h
  async/v_async_listener.h
  async/v_async_listeners.h)

set(VENDRA_PUBLIC_HEADERS_UI
  ui/crash_report_window.h
  ui/dialog_host.h
  ui/dialog_template.h
  ui/progress_window.h
  ui/sign_in_windows.h
  ui/window_state.h)

set(VENDRA_PUBLIC_HEADERS_CRASH
  crash/crash_report_submission.h
  crash/reporter_handover.h)

set(VENDRA_PUBLIC_HEADER_LAYERS COMMON PLATFORM JSON CLIENT INSTALL ASYNC UI CRASH)
set(VENDRA_PUBLIC_HEADERS)
foreach(layer IN LISTS VENDRA_PUBLIC_HEADER_LAYERS)
  list(APPEND VENDRA_PUBLIC_HEADERS ${VENDRA_PUBLIC_HEADERS_${layer}})
endforeach()
