// The site the program talks to and the time and size limits of its transfers. The
// program takes no command line, so these are build settings (see the top-level
// CMakeLists.txt); the defaults point at the bundled site.
#pragma once

#include <cstddef>
#include <cstdint>

#ifndef VS_SITE_BASE_ADDRESS
#define VS_SITE_BASE_ADDRESS "http://zq.test/"
#endif
#ifndef VS_LOGIN_ENDPOINT
#define VS_LOGIN_ENDPOINT "http://login.zq.test/"
#endif
#ifndef VS_AUTHOR_ADDRESS
#define VS_AUTHOR_ADDRESS "author.zq.test"
#endif
#ifndef VS_TRANSFER_CONNECT_SECONDS
#define VS_TRANSFER_CONNECT_SECONDS 10
#endif
#ifndef VS_TRANSFER_IDLE_SECONDS
#define VS_TRANSFER_IDLE_SECONDS 15
#endif
#ifndef VS_TRANSFER_PAGE_SECONDS
#define VS_TRANSFER_PAGE_SECONDS 60
#endif
#ifndef VS_TRANSFER_SEARCH_PAGE_MB
#define VS_TRANSFER_SEARCH_PAGE_MB 32
#endif
#ifndef VS_TRANSFER_VIDEO_PAGE_MB
#define VS_TRANSFER_VIDEO_PAGE_MB 4
#endif
#ifndef VS_TRANSFER_PREVIEW_MB
#define VS_TRANSFER_PREVIEW_MB 16
#endif

#ifndef VS_SCAN_LINE_BYTES
#define VS_SCAN_LINE_BYTES 1048576
#endif

// The longest line of a downloaded page that is scanned for values; longer ones are
// skipped (no page of the site has lines near it; a hostile one could hold gigabytes).
constexpr size_t SCAN_LINE_LIMIT = VS_SCAN_LINE_BYTES;
// The http address of the site's root, ending in "/".
constexpr const char* SITE_BASE_ADDRESS = VS_SITE_BASE_ADDRESS;
// An address on the site's login host whose path is "/".
constexpr const char* SITE_LOGIN_ENDPOINT = VS_LOGIN_ENDPOINT;
// The author's web address: a host name without a scheme, shown by the author link.
constexpr const char* AUTHOR_ADDRESS = VS_AUTHOR_ADDRESS;
// The most bytes a search result page, a video page and a preview picture may hold.
constexpr uint64_t SEARCH_PAGE_MAX_BYTES = uint64_t{VS_TRANSFER_SEARCH_PAGE_MB} << 20;
constexpr uint64_t VIDEO_PAGE_MAX_BYTES = uint64_t{VS_TRANSFER_VIDEO_PAGE_MB} << 20;
constexpr uint64_t PREVIEW_MAX_BYTES = uint64_t{VS_TRANSFER_PREVIEW_MB} << 20;
