# SPDX-License-Identifier: MIT
# Refuses data server addresses that are not https: the refresh trusts what a server sends only
# over an authenticated connection. Included by the top-level CMakeLists.txt; also runs on its own
# (cmake -DQUARRIN_PRIMARY_SERVER=... -DQUARRIN_SECONDARY_SERVER=... -P CheckDataServers.cmake).
foreach(quarrin_server_var QUARRIN_PRIMARY_SERVER QUARRIN_SECONDARY_SERVER)
    if(NOT "${${quarrin_server_var}}" MATCHES "^[Hh][Tt][Tt][Pp][Ss]://[^/]")
        message(FATAL_ERROR "${quarrin_server_var} is \"${${quarrin_server_var}}\": a data server address must "
            "start with https:// and name a host (-D${quarrin_server_var}=https://data1.example.org/)")
    endif()
endforeach()
