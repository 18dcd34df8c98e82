// The addresses the client builds. They are plain concatenations: values are inserted byte
// for byte, without URL escaping, as the site expects them.
#pragma once

#include "text.h"

// endpoint + "?act=login&email=" + mail + "&pass=" + pass + "&expire=&zq ="
String LoginAddress(TextArg endpoint, TextArg mail, TextArg pass);
// base + "gsearch.php?section=video&q=" + text + "&name=1"
String SearchAddress(TextArg base, TextArg text);
// The host name of an http address ("http://zq.test/" gives "zq.test").
String SiteDomain(TextArg address);
