// Stand-in for the Windows clipboard: an in-process store of bitmaps and palettes.
#pragma once

#include "platform/wintypes.h"

#ifndef _WIN32

constexpr UINT CF_BITMAP = 2;
constexpr UINT CF_PALETTE = 9;

// The clipboard store: one item per format; SetClipboardData hands the object (bitmap or palette)
// to the store, which deletes it when it is emptied or replaced. Setting, getting and emptying need
// the clipboard open; OpenClipboard fails while another owner holds it. GetClipboardData keeps
// ownership with the store. Tests empty it at the end so that nothing outlives them.
BOOL OpenClipboard(void* owner);
BOOL CloseClipboard();
BOOL EmptyClipboard();
HANDLE SetClipboardData(UINT format, HANDLE data);
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
// Not a Windows call: the stand-in for a clipboard-update listener. The handler runs after
// CloseClipboard whenever the content changed while the clipboard was open; null removes it.
void SetClipboardUpdateHandler(void (*handler)(void* context), void* context);

#endif // _WIN32
