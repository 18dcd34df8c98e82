// One copy of the program per user session: the copies would share Registration.ini and
// the four temporary files by name, and each one's end would delete the files the other
// is using.
#pragma once

// True when no other copy runs in this session; this copy then holds the claim until it
// ends, however it ends (the system drops it with the process, so a copy that crashed
// blocks nothing). False when another copy runs: its foremost window has been brought to
// the front, and this copy should end at once.
bool ClaimSingleInstance();
