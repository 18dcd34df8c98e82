// Values taken from a video page's player line: the video file's address and the local
// player page. Values cut from a page are untrusted: they end up in an address the browser
// opens and in a local HTML page it shows with local-file rights. A host label that is not
// a plain host-name label refuses the line; every other value keeps unreserved address
// bytes (letters, digits, "-", ".", "_", "~") as they are and percent-encodes the rest, so
// that no value can change the host, leave the address's path or break out of the quoted
// attribute of the player frame.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "objtable.h"
#include "text.h"

// Calls onLine for every player line (one holding "loadFlashPlayer") of the open file `file`, from
// its position to its end.
void ForEachPlayerLine(ObjectNumber file, const std::function<void(const String& line)>& onLine);

// The value with every byte but letters, digits, "-", ".", "_" and "~" written as %XX.
String EscapeAddressValue(TextArg value);
// Letters, digits and "-" only (or empty): a label that names a host under the site domain.
bool IsHostLabel(TextArg label);

// The video file address of a player line: "http://" + host label + "." + siteDomain +
// "/u" + uid + "/video/" + vtag + ".480.mp4". Returns false, leaving `address` alone, when
// the host label is not a plain label.
bool VideoFileAddress(TextArg line, TextArg siteDomain, String& address);

struct PlayerValues {
  String oid, vid, hash2;
};
// The three player values of a player line, as cut (empty when missing).
PlayerValues PlayerValuesOf(TextArg line);
// The player frame's address: siteBase + "video_ext.php?oid=" + oid + "&id=" + vid +
// "&hash=" + hash2, the values escaped as in VideoFileAddress.
String PlayerFrameAddress(TextArg siteBase, TextArg oid, TextArg vid, TextArg hash2);
// File names of saved videos are UTF-8, as every path (os.h): a name with any characters is
// saved as such.
//
// A name's bytes as UTF-8: taken as they are when they are well-formed UTF-8 holding a
// multi-byte character, else read as Windows-1251 (the site's own encoding), whose every
// byte is a character.
std::string PathFromNameBytes(std::string_view bytes);
// The file name a Content-Disposition header's value gives, in UTF-8, without any folder
// part, not yet made safe; empty when it gives none. `filename*` (charset'language'value,
// percent-encoded UTF-8 or ISO-8859-1) is preferred over `filename` (quoted or not), whose
// bytes are read by PathFromNameBytes.
std::string DispositionFileName(std::string_view header);
// A UTF-8 name that Windows takes as one file name: characters no file name may hold
// become "_", at most 200 bytes are kept (the end, whole characters only), leading and
// trailing dots and blanks go, device names (CON, NUL, COM1 ...) get a "_" in front;
// "video.mp4" when nothing is left.
String SafeFileName(TextArg name);
// The UTF-8 file name for a file from `address`: its last path segment, %XX escapes decoded
// and read by PathFromNameBytes, made safe as above.
String AddressFileName(TextArg address);
// Whether `extension` (without its dot, any letter case) is that of a video file: mp4, webm,
// mkv, flv, avi, mov, 3gp or m4v.
bool IsVideoExtension(std::string_view extension);
// The name a saved video gets: the server's `name` (UTF-8; the address's name when it gave
// none) made safe as above, with a video file's extension: when its own is none, the
// address's extension takes its place if that is a video's, else ".mp4" does (added to a
// name without one). Nothing that Windows would run or open as anything but a video
// ("setup.exe", "video.mp4.exe", "run.bat", "video.lnk") is saved under its own name.
String VideoFileName(TextArg name, TextArg address);
// The player page, without its line end: a black page without margins holding one
// 480 x 360 frame of the site's embeddable player for the escaped values.
String PlayerPageText(TextArg siteBase, TextArg oid, TextArg vid, TextArg hash2);
