// Not a Windows call: puts standard input, output and error in binary mode, so that what a
// program writes reaches its reader byte for byte ("\n" stays "\n" on Windows, where the C
// runtime's text mode writes "\r\n"). Nothing to do where text and binary mode are the same.
#pragma once

void SetStandardStreamsBinary();
