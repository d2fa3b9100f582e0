// Stand-in for the resources linked into an executable: named blocks of raw data that the program
// finds by name and type, as on Windows. Here they are registered at start-up by the sources that
// the build's embedding step generates (see cmake/embed.cmake), before main runs.
//
// Names and types are either strings, compared without regard to case, or integer identifiers in the
// Windows form (MAKEINTRESOURCEA: a value below 65536 passed as a pointer). The program's window
// descriptions are RT_RCDATA; its icon is registered as a resource compiler links one: an
// RT_GROUP_ICON directory whose entries name RT_ICON images by number.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/wintypes.h"

#ifndef _WIN32

struct HRSRC__;
using HRSRC = HRSRC__*;
using HGLOBAL = HANDLE;

#define MAKEINTRESOURCEA(i) (reinterpret_cast<const char*>(static_cast<std::uintptr_t>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(p) ((reinterpret_cast<std::uintptr_t>(p) >> 16) == 0)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_RCDATA MAKEINTRESOURCEA(10)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)

// Makes size bytes at data (which must stay alive and unchanged for the rest of the run, as a static
// array does) findable as resource name of the given type. A second registration of the same name and
// type replaces the first. Name and type strings are copied.
void RegisterResource(const char* name, const char* type, const void* data, std::size_t size);

// The resource of that name and type, or null when there is none (also for a null name or type). The
// module handle is ignored: there is only the running program.
HRSRC FindResourceA(HMODULE module, const char* name, const char* type);
// A handle to the resource's data, or null for a null resource.
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
// The resource's size in bytes; 0 for a null resource.
DWORD SizeofResource(HMODULE module, HRSRC resource);
// The first byte of the data; null for a null handle. The data is read-only.
void* LockResource(HGLOBAL data);

#endif // _WIN32
