// The host's services, exported by its library ZEFIRA by ordinal only.
//
// Every declaration here is the one place where an entry's arguments, result and calling
// convention are stated. On Win32 each name is a call thunk of the frame that jumps through
// the entry's slot; natively the same names reach the simulated host.
//
// Calling conventions: an entry that removes its own arguments is stdcall (HOST_STDCALL);
// 21285, 21287, 52023, 52224, 52029 and 52541 leave that to the caller (HOST_CDECL).
#pragma once

#include <cstdarg>
#include <cstdint>

#if defined(__i386__) || defined(_M_IX86)
#define HOST_STDCALL __attribute__((stdcall))
#define HOST_CDECL __attribute__((cdecl))
#else
#define HOST_STDCALL
#define HOST_CDECL
#endif

// A host table object: opaque bytes of the host's, read only at the positions of host_types.h.
typedef unsigned char* HostTable;
// A host file handle, as HostFileOpen returns it; null means the open failed.
typedef void* HostFile;

// The host's ordinals of the entries the plug-in binds, in binding order.
enum HostOrdinal : unsigned {
  kOrdHostMessage = 52028,
  kOrdHostMessageF = 52029,
  kOrdHostConvertText = 52158,
  kOrdUnused38417 = 38417,  // bound at load, never called
  kOrdHostCalloc = 21285,
  kOrdHostFree = 21287,
  kOrdHostProfile = 52224,
  kOrdHostRoundToInt = 52178,
  kOrdHostTableByNumber = 52256,
  kOrdHostShowDialog = 52023,
  kOrdHostErrorMessage = 52030,
  kOrdHostCurrentWord = 52265,
  kOrdHostCurrentLong = 52266,
  kOrdHostTodayText = 30204,
  kOrdHostQuietMode = 52434,
  kOrdHostFileOpen = 52534,
  kOrdHostFileClose = 52305,
  kOrdHostProgressOpen = 52228,
  kOrdHostProgressClose = 52230,
  kOrdHostProgressStep = 52232,
  kOrdHostProgressPoll = 52234,
  kOrdHostTablePrepare = 52465,
  kOrdHostGrossPrice = 52289,
  kOrdHostFilePrintf = 52541,
  kOrdHostReadRecord = 52286,
  kOrdHostVatText = 52451,
  kOrdHostFindRecord = 52412,
  // Not bound through slots: 30005 is a static import, 30007 is looked up by the load step.
  kOrdHostSeTranslator = 30005,
  kOrdHostDelayLoadHook = 30007,
};

// Text codes of HostConvertText.
enum : int { kCodeMazovia = 1, kCodeWindows1250 = 3 };

// HostProfile modes.
enum : int { kProfileRead = 1, kProfileWrite = 2 };

extern "C" {

// 52028: shows a message (Mazovia, with host markup). Flags 1, 0x5001 or 0xC001.
int HOST_STDCALL HostMessage(const char* title, const char* text, int flags);
// 52029: the host formats `format` with the further values and shows it.
int HOST_CDECL HostMessageF(const char* title, const char* format, int flags, ...);
// 52158: converts `source` (may equal `destination`) from code `from` to code `to`, same length.
int HOST_STDCALL HostConvertText(char* destination, const char* source, int from, int to);
// 21285: a zero-filled block of count*size bytes, or null.
void* HOST_CDECL HostCalloc(uint32_t count, uint32_t size);
// 21287: returns a block from HostCalloc.
void HOST_CDECL HostFree(void* block);
// 52224: reads (mode 1: `argument` points at the destination's address) or writes (mode 2:
// `argument` points at the value) one setting. Read: low 16 bits 0 means the value was stored.
int HOST_CDECL HostProfile(int mode, const char* section, const char* key, const char* format,
                           va_list argument);
// 52178: rounds to a 32-bit integer.
int HOST_STDCALL HostRoundToInt(double value);
// 52256: the table object for a table number, or null.
HostTable HOST_STDCALL HostTableByNumber(int table);
// 52023: shows dialog `dialog`; it may change the 16-bit value at `value`.
int HOST_CDECL HostShowDialog(int dialog, void* value, int reserved, const char* text);
// 52030: shows an error message.
int HOST_STDCALL HostErrorMessage(const char* text);
// 52265 / 52266: addresses of the host's 16-bit and 32-bit search context values.
int16_t* HOST_STDCALL HostCurrentWord(void);
int32_t* HOST_STDCALL HostCurrentLong(void);
// 30204: today's date text into a 12-byte buffer.
int HOST_STDCALL HostTodayText(char* buffer);
// 52434: 0 before a search, 1 after it.
int HOST_STDCALL HostQuietMode(int mode);
// 52534: opens a file; null on failure.
HostFile HOST_STDCALL HostFileOpen(const char* name, const char* mode, int a, int b, int c);
// 52305
int HOST_STDCALL HostFileClose(HostFile file);
// 52228, 52230, 52232, 52234: the progress indicator.
int HOST_STDCALL HostProgressOpen(int id);
int HOST_STDCALL HostProgressClose(void);
int HOST_STDCALL HostProgressStep(int done, int total);
int HOST_STDCALL HostProgressPoll(void);
// 52465: makes the table's record buffer usable (the plug-in passes 255).
int HOST_STDCALL HostTablePrepare(HostTable table, int mode);
// 52289: gross price for (2, VAT code, net price, 100).
double HOST_STDCALL HostGrossPrice(int kind, int vat, double net, int scale);
// 52541: the host formats and writes to the file.
int HOST_CDECL HostFilePrintf(HostFile file, const char* format, ...);
// 52286: reads record `index` into the document record buffer; low 16 bits 0 means failure.
int HOST_STDCALL HostReadRecord(int32_t source, int32_t index, uintptr_t arg6, int32_t zero,
                                uintptr_t arg8);
// 52451: the text of a VAT rate code (selector 'S').
const char* HOST_STDCALL HostVatText(int a, int b, const uint16_t* code, int selector);
// 52412: searches table 49 with the context values; low 16 bits non-zero means found.
int HOST_STDCALL HostFindRecord(int a, int b);

}  // extern "C"
