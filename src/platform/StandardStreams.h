#pragma once
// A process started with standard input, output or error closed would hand
// those numbers to the next files it opens, and whatever it then writes to
// standard error (the error log) would land in them.

// Puts /dev/null on each of the three that is closed, opened the wrong way
// round so that using it still fails as a closed stream does (EBADF): reading
// a closed input is reported, writing a closed output is a write error. Call
// it first thing in main, before anything can open a file.
void StandardStreamsOpenMissing();
