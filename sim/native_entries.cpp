// The host entries as plain functions that reach the simulated host. Natively the plug-in's
// code calls these in place of the frame's call thunks; on Win32 the ZEFIRA double exports the
// same functions by ordinal.
#include "host/host_entries.h"
#include "sim/host_model.h"

extern "C" {

int HOST_STDCALL HostMessage(const char* title, const char* text, int flags) {
  return sim::Host().Message(title, text, flags);
}

int HOST_CDECL HostMessageF(const char* title, const char* format, int flags, ...) {
  va_list values;
  va_start(values, flags);
  const int result = sim::Host().MessageF(title, format, flags, values);
  va_end(values);
  return result;
}

int HOST_STDCALL HostConvertText(char* destination, const char* source, int from, int to) {
  return sim::Host().ConvertText(destination, source, from, to);
}

void* HOST_CDECL HostCalloc(uint32_t count, uint32_t size) {
  return sim::Host().Calloc(count, size);
}

void HOST_CDECL HostFree(void* block) { sim::Host().Free(block); }

int HOST_CDECL HostProfile(int mode, const char* section, const char* key, const char* format,
                           va_list argument) {
  return sim::Host().Profile(mode, section, key, format, argument);
}

int HOST_STDCALL HostRoundToInt(double value) { return sim::Host().RoundToInt(value); }

HostTable HOST_STDCALL HostTableByNumber(int table) { return sim::Host().TableByNumber(table); }

int HOST_CDECL HostShowDialog(int dialog, void* value, int reserved, const char* text) {
  return sim::Host().ShowDialog(dialog, value, reserved, text);
}

int HOST_STDCALL HostErrorMessage(const char* text) { return sim::Host().ErrorMessage(text); }

int16_t* HOST_STDCALL HostCurrentWord(void) { return sim::Host().CurrentWord(); }

int32_t* HOST_STDCALL HostCurrentLong(void) { return sim::Host().CurrentLong(); }

int HOST_STDCALL HostTodayText(char* buffer) { return sim::Host().TodayText(buffer); }

int HOST_STDCALL HostQuietMode(int mode) { return sim::Host().QuietMode(mode); }

HostFile HOST_STDCALL HostFileOpen(const char* name, const char* mode, int a, int b, int c) {
  return sim::Host().FileOpen(name, mode, a, b, c);
}

int HOST_STDCALL HostFileClose(HostFile file) { return sim::Host().FileClose(file); }

int HOST_STDCALL HostProgressOpen(int id) { return sim::Host().ProgressOpen(id); }

int HOST_STDCALL HostProgressClose(void) { return sim::Host().ProgressClose(); }

int HOST_STDCALL HostProgressStep(int done, int total) {
  return sim::Host().ProgressStep(done, total);
}

int HOST_STDCALL HostProgressPoll(void) { return sim::Host().ProgressPoll(); }

int HOST_STDCALL HostTablePrepare(HostTable table, int mode) {
  return sim::Host().TablePrepare(table, mode);
}

double HOST_STDCALL HostGrossPrice(int kind, int vat, double net, int scale) {
  return sim::Host().GrossPrice(kind, vat, net, scale);
}

int HOST_CDECL HostFilePrintf(HostFile file, const char* format, ...) {
  va_list values;
  va_start(values, format);
  const int result = sim::Host().FilePrintf(file, format, values);
  va_end(values);
  return result;
}

int HOST_STDCALL HostReadRecord(int32_t source, int32_t index, uintptr_t arg6, int32_t zero,
                                uintptr_t arg8) {
  return sim::Host().ReadRecord(source, index, arg6, zero, arg8);
}

const char* HOST_STDCALL HostVatText(int a, int b, const uint16_t* code, int selector) {
  return sim::Host().VatText(a, b, code, selector);
}

int HOST_STDCALL HostFindRecord(int a, int b) { return sim::Host().FindRecord(a, b); }

}  // extern "C"
