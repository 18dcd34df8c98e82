# The product as Windows users meet it: the exe's version resource (app/version.rc), the
# installer and its Apps & Features entry (package/installer.nsi) and the packages' names
# (scripts/package). The version is the project's own (project(... VERSION ...)).
#
# Writes, for those three, into <build>/product/:
#   product.h    #defines for the resource compiler (UTF-8; version.rc says so)
#   product.nsh  !defines for makensis (read with /CHARSET=UTF8)
#   product.env  shell assignments for scripts/package

set(VS_PRODUCT_NAME "VideoSearch")  # Start menu, Apps & Features, folders, package names
set(VS_PRODUCT_DESCRIPTION "Video search")
set(VS_PRODUCT_DESCRIPTION_RU "Поиск видео")
set(VS_PUBLISHER "VideoSearch developers")
set(VS_PUBLISHER_RU "Разработчики VideoSearch")
set(VS_COPYRIGHT "© 2026 ${VS_PUBLISHER}")
set(VS_COPYRIGHT_RU "© 2026 ${VS_PUBLISHER_RU}")
set(VS_EXE_NAME "videosearch.exe")

# Windows keeps four numbers; the fourth is 0 for a three-part project version.
set(VS_VERSION ${PROJECT_VERSION})
set(VS_VERSION_TWEAK 0)
if(PROJECT_VERSION_TWEAK)
  set(VS_VERSION_TWEAK ${PROJECT_VERSION_TWEAK})
endif()
set(VS_VERSION_COMMAS
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${VS_VERSION_TWEAK}")
set(VS_VERSION_DOTS
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${VS_VERSION_TWEAK}")

set(VS_PRODUCT_DIR ${CMAKE_BINARY_DIR}/product)
file(CONFIGURE OUTPUT ${VS_PRODUCT_DIR}/product.h @ONLY CONTENT [[
#define VS_PRODUCT_NAME "@VS_PRODUCT_NAME@"
#define VS_PRODUCT_DESCRIPTION "@VS_PRODUCT_DESCRIPTION@"
#define VS_PRODUCT_DESCRIPTION_RU "@VS_PRODUCT_DESCRIPTION_RU@"
#define VS_PUBLISHER "@VS_PUBLISHER@"
#define VS_PUBLISHER_RU "@VS_PUBLISHER_RU@"
#define VS_COPYRIGHT "@VS_COPYRIGHT@"
#define VS_COPYRIGHT_RU "@VS_COPYRIGHT_RU@"
#define VS_EXE_NAME "@VS_EXE_NAME@"
#define VS_VERSION "@VS_VERSION@"
#define VS_VERSION_COMMAS @VS_VERSION_COMMAS@
]])
file(CONFIGURE OUTPUT ${VS_PRODUCT_DIR}/product.nsh @ONLY CONTENT [[
!define VS_PRODUCT_NAME "@VS_PRODUCT_NAME@"
!define VS_PRODUCT_DESCRIPTION_RU "@VS_PRODUCT_DESCRIPTION_RU@"
!define VS_PUBLISHER_RU "@VS_PUBLISHER_RU@"
!define VS_COPYRIGHT_RU "@VS_COPYRIGHT_RU@"
!define VS_EXE_NAME "@VS_EXE_NAME@"
!define VS_VERSION "@VS_VERSION@"
!define VS_VERSION_DOTS "@VS_VERSION_DOTS@"
]])
file(CONFIGURE OUTPUT ${VS_PRODUCT_DIR}/product.env @ONLY CONTENT [[
VS_PRODUCT_NAME='@VS_PRODUCT_NAME@'
VS_PRODUCT_DESCRIPTION_RU='@VS_PRODUCT_DESCRIPTION_RU@'
VS_EXE_NAME='@VS_EXE_NAME@'
VS_VERSION='@VS_VERSION@'
]])
