# Delay-loaded system libraries: the program links these through import libraries whose
# functions load the library on their first call, so that libraries it needs only after
# its window shows (COM and the web views, transfers, downloads, the slide's timer) do not
# lengthen its start. Each library lists the functions the program calls; a call of any other
# function of it fails to link, which is the reminder to add it here.
#
#   vs_delay_import(NAME DLL FUNCTION...)  makes the target vs_delay_NAME to link with; the
#   target vs_delay_libs builds them all (libraries that link them depend on it)

find_program(VS_DLLTOOL ${VS_MINGW_TRIPLE}-dlltool REQUIRED)
set(VS_DELAY_LIBS "")

function(vs_delay_import name dll)
  set(def ${CMAKE_BINARY_DIR}/delay/${name}.def)
  set(lib ${CMAKE_BINARY_DIR}/delay/lib${name}_delay.a)
  list(JOIN ARGN "\n" functions)
  file(CONFIGURE OUTPUT ${def} CONTENT "LIBRARY ${dll}\nEXPORTS\n${functions}\n")
  add_custom_command(OUTPUT ${lib}
    COMMAND ${VS_DLLTOOL} --input-def ${def} --output-delaylib ${lib}
    DEPENDS ${def}
    COMMENT "Delay-load import library for ${dll}")
  add_library(vs_delay_${name} INTERFACE)
  target_link_libraries(vs_delay_${name} INTERFACE ${lib})
  set(VS_DELAY_LIBS ${VS_DELAY_LIBS} ${lib} PARENT_SCOPE)
endfunction()

vs_delay_import(wininet wininet.dll
  HttpOpenRequestW HttpQueryInfoA HttpQueryInfoW HttpSendRequestW InternetCloseHandle
  InternetConnectW InternetCrackUrlW InternetGetCookieExW InternetOpenW
  InternetQueryDataAvailable InternetQueryOptionW InternetReadFile InternetSetCookieExW
  InternetSetOptionW InternetSetStatusCallbackW)
vs_delay_import(ws2_32 ws2_32.dll
  WSACloseEvent WSACreateEvent WSAEnumNetworkEvents WSAEventSelect WSAGetLastError WSAStartup
  closesocket connect freeaddrinfo getaddrinfo recv send setsockopt socket)
vs_delay_import(urlmon urlmon.dll ObtainUserAgentString)
vs_delay_import(shell32 shell32.dll SHGetKnownFolderPath ShellExecuteExW)
vs_delay_import(winmm winmm.dll timeBeginPeriod timeEndPeriod)
vs_delay_import(ole32 ole32.dll
  CoInitialize CoInitializeEx CoTaskMemFree CoUninitialize CreateStreamOnHGlobal
  GetHGlobalFromStream OleInitialize)
vs_delay_import(oleaut32 oleaut32.dll
  DispGetParam SysAllocStringLen SysFreeString SysStringLen VariantClear VariantInit)

add_custom_target(vs_delay_libs DEPENDS ${VS_DELAY_LIBS})
