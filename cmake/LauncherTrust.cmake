# Build-time trust settings of the launcher: pinned gateway keys and the
# package signing key (see README, "Securing the update road").

# Stops the configure step on a value that could never match anything: a
# typo there would make every update fail at the user's end instead.
function(launcher_check_trust_settings pins key)
  if(NOT pins STREQUAL "")
    foreach(pin IN LISTS pins)
      string(LENGTH "${pin}" length)
      if(NOT pin MATCHES "^sha256//[A-Za-z0-9+/]+=$" OR NOT length EQUAL 52)
        message(FATAL_ERROR "LAUNCHER_GATEWAY_PINS: '${pin}' is not sha256//<base64 of 32 bytes>")
      endif()
    endforeach()
  endif()
  if(NOT key STREQUAL "")
    string(LENGTH "${key}" length)
    if(NOT key MATCHES "^MCowBQYDK2VwAyEA[A-Za-z0-9+/]+=$" OR NOT length EQUAL 60)
      message(FATAL_ERROR "LAUNCHER_PACKAGE_PUBLIC_KEY: not the base64 of an Ed25519 public key "
                          "(the line 'openssl pkey -pubout' prints between its PEM lines)")
    endif()
  endif()
endfunction()

# Key material for the demo, the tests and the benchmark, made once per
# build folder and never committed: the gateway's certificate and key (with
# a backup key that is pinned but never served) and a package signing key.
# Sets <prefix>_DIR, <prefix>_PINS and <prefix>_PACKAGE_KEY.
function(launcher_make_local_keys prefix)
  set(dir ${CMAKE_BINARY_DIR}/launcher-keys)
  if(NOT EXISTS ${dir}/gateway.pins OR NOT EXISTS ${dir}/package-signing.pub)
    execute_process(
      COMMAND ${PROJECT_SOURCE_DIR}/tools/package_builder/make_keys.sh ${dir}
      RESULT_VARIABLE result ERROR_VARIABLE errors OUTPUT_QUIET)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "making the local launcher keys in ${dir} failed: ${errors}")
    endif()
  endif()
  file(STRINGS ${dir}/gateway.pins pins LIMIT_COUNT 1)
  file(STRINGS ${dir}/package-signing.pub key LIMIT_COUNT 1)
  set(${prefix}_DIR ${dir} PARENT_SCOPE)
  set(${prefix}_PINS "${pins}" PARENT_SCOPE)
  set(${prefix}_PACKAGE_KEY "${key}" PARENT_SCOPE)
endfunction()
