// The addresses the client builds. They are pure ASCII: the values typed by the user
// (Windows-1251 texts) are percent-escaped byte for byte, so that they reach the site as
// Windows-1251 bytes whichever system call or code page carries the address.
#pragma once

#include "text.h"

// The address with every byte above 0x7F, every control byte and the blank written as %XX:
// an address of the site's own pages (a link cut from a result page may hold raw
// Windows-1251 bytes) made pure ASCII, its meaning unchanged.
String AsciiAddress(TextArg address);
// A value for a query field: every byte above 0x7F, every control byte, the blank (as %20,
// the form the site has always received) and the bytes that would change what the query
// means ("%", "+" read as a blank, "#" ending the address, "&" starting a field) written as
// %XX; every other byte as it is.
String EscapeQueryValue(TextArg value);
// endpoint + "?act=login&email=" + mail + "&pass=" + pass + "&expire=&zq%20=", the values
// escaped
String LoginAddress(TextArg endpoint, TextArg mail, TextArg pass);
// base + "gsearch.php?section=video&q=" + text + "&name=1", the text escaped
String SearchAddress(TextArg base, TextArg text);
// The host name of an http address ("http://zq.test/" gives "zq.test").
String SiteDomain(TextArg address);
