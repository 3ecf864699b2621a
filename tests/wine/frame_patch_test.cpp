// The load-time patches of the plug-in's runtime and the patching itself, through the probe DLL
// (the plug-in's frame and core, with their routines exported by name).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "export/digit_conversion.h"
#include "tests/wine/frame_test_support.h"
#include "tests/wine/plugin_host.h"

namespace {

using plugin_host::PluginHost;

typedef int(__cdecl* IntRoutine)(int);
typedef int(__cdecl* PatchRoutine)(void*, void**, void*);
typedef size_t(__cdecl* FormatRoutine)(char*, size_t, const char*, ...);
typedef BOOL(WINAPI* FileInformationRoutine)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

constexpr unsigned char kPrologue[] = {0x8B, 0xFF, 0x55, 0x8B, 0xEC};

#pragma pack(push, 1)
struct Slot {
  unsigned char prologue[5];
  unsigned char jump;
  int32_t displacement;
  unsigned char unused[2];
  uint32_t claim;
};
#pragma pack(pop)
static_assert(sizeof(Slot) == 16, "trampoline slot");

// Where an E9 rel32 at `code` lands.
const unsigned char* JumpTarget(const unsigned char* code) {
  int32_t displacement;
  std::memcpy(&displacement, code + 1, sizeof displacement);
  return code + 5 + displacement;
}

DWORD Protection(const void* address) {
  MEMORY_BASIC_INFORMATION info = {};
  VirtualQuery(address, &info, sizeof info);
  return info.Protect;
}

// Test replacements: each records its call and goes on through its continuation.
void* g_replacementContinuation = nullptr;
int g_replacementCalls = 0;
int __cdecl CountingDigitReplacement(double value, int32_t ndigits, DigitRecord* record,
                                     char* buffer, int32_t size) {
  ++g_replacementCalls;
  return reinterpret_cast<DigitConversionRoutine>(g_replacementContinuation)(value, ndigits, record,
                                                                             buffer, size);
}
int __cdecl AddingReplacement(int value) {
  ++g_replacementCalls;
  return reinterpret_cast<IntRoutine>(g_replacementContinuation)(value) + 100;
}

class FramePatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_replacementContinuation = nullptr;
    g_replacementCalls = 0;
    ASSERT_TRUE(host_.Load(frame_test::ProbePath())) << "error " << host_.LoadError();
    area_ = Export<Slot*>("g_trampolineArea");
    patch_ = Export<PatchRoutine>("PatchRoutineEntry");
    convertDigits_ = Export<const unsigned char*>("ConvertDigits");
    ASSERT_NE(area_, nullptr);
    ASSERT_NE(patch_, nullptr);
    ASSERT_NE(convertDigits_, nullptr);
  }

  template <typename T>
  T Export(const char* name) {
    return reinterpret_cast<T>(
        reinterpret_cast<void (*)()>(plugin_host::RealGetProcAddress(host_.Plugin(), name)));
  }
  void* Data(const char* name) { return Export<void*>(name); }

  // The sign and the digits of `value` with two decimals.
  struct Digits {
    char sign;
    std::string digits;
  };
  Digits Convert(double value, DigitConversionRoutine routine) {
    DigitRecord record = {};
    record.mode = 'f';
    char buffer[64];
    EXPECT_EQ(routine(value, 2, &record, buffer, sizeof buffer), 0);
    return {record.sign, std::string(record.digits, record.length)};
  }

  PluginHost host_;
  Slot* area_ = nullptr;
  PatchRoutine patch_ = nullptr;
  const unsigned char* convertDigits_ = nullptr;
};

TEST_F(FramePatchTest, LoadRoutesDigitConversionThroughTheFilterWithATrampoline) {
  const auto* filter = Export<const unsigned char*>("NegativeZeroFilter");
  ASSERT_EQ(convertDigits_[0], 0xE9);
  EXPECT_EQ(JumpTarget(convertDigits_), filter);

  const Slot& slot = area_[0];
  EXPECT_EQ(*static_cast<void**>(Data("g_digitContinuation")), &slot);
  EXPECT_EQ(std::memcmp(slot.prologue, kPrologue, sizeof kPrologue), 0);
  EXPECT_EQ(slot.jump, 0xE9);
  EXPECT_EQ(JumpTarget(slot.prologue + 5), convertDigits_ + 5) << "resumes at the sixth byte";
  EXPECT_EQ(slot.unused[0], 0);
  EXPECT_EQ(slot.unused[1], 0);
  EXPECT_EQ(slot.claim, 0xFFFFFFFFu);

  // Protections are back as they were: the area executable and read-only.
  EXPECT_EQ(Protection(area_), static_cast<DWORD>(PAGE_EXECUTE_READ));
  EXPECT_EQ(Protection(convertDigits_), static_cast<DWORD>(PAGE_EXECUTE_READ));
}

TEST_F(FramePatchTest, LoadRedirectsTheFileInformationServiceToNovrt) {
  const auto* service = Export<const unsigned char*>("RuntimeFileInformation@16");
  const auto* novrt = Export<const unsigned char*>("NovrtGetFileInformationByHandleEx");
  ASSERT_EQ(service[0], 0xE9);
  EXPECT_EQ(JumpTarget(service), novrt);
  // The thunk is one jump through NOVRT's import slot: FF 25 slot.
  EXPECT_EQ(novrt[0], 0xFF);
  EXPECT_EQ(novrt[1], 0x25);
  EXPECT_EQ(*static_cast<void**>(Data("g_fileInformationContinuation")), &area_[1]);
  EXPECT_EQ(JumpTarget(area_[1].prologue + 5), service + 5);
  EXPECT_EQ(area_[1].claim, 0xFFFFFFFFu);

  // A call goes to NOVRT.dll's service, resolved at its first call, and answers truly.
  const std::string file = frame_test::TemporaryFile("qarn_frame_patch_test");
  HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(handle, "12345", 5, &written, nullptr));
  sim::Host().ClearCalls();
  FILE_STANDARD_INFO info = {};
  EXPECT_TRUE(Export<FileInformationRoutine>("RuntimeFileInformation@16")(handle, FileStandardInfo,
                                                                          &info, sizeof info));
  EXPECT_EQ(info.EndOfFile.QuadPart, 5);
  CloseHandle(handle);
  std::vector<int64_t> notifications;
  for (const sim::Call& call : sim::Host().CallsTo(kOrdHostDelayLoadHook)) {
    EXPECT_EQ(call.texts, (std::vector<std::string>{"NOVRT.dll", "GetFileInformationByHandleEx"}));
    notifications.push_back(call.ints[0]);
  }
  EXPECT_EQ(notifications, (std::vector<int64_t>{0, 2, 5})) << "NOVRT.dll is known already";
}

TEST_F(FramePatchTest, NegativeZeroFormatsAsPositiveZero) {
  const auto format = Export<FormatRoutine>("ProbeFormat");
  ASSERT_NE(format, nullptr);
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* format;
    double value;
    const char* expected;
  } const cases[] = {
      {"%.3f", -0.0, "0.000"},     {"%.2f", -0.0, "0.00"},
      {"%+.2f", -0.0, "+0.00"},    {"% .2f", -0.0, " 0.00"},
      {"%g", -0.0, "0"},           {"%.1e", -0.0, "0.0e+00"},
      {"%8.2f", -0.0, "    0.00"}, {"%-6.1f|", -0.0, "0.0   |"},
      {"%.2f", 0.0, "0.00"},       {"%.2f", -0.001, "-0.00"},
      {"%.3f", -0.0004, "-0.000"}, {"%.1f", -1.25, "-1.2"},
      {"%f", -inf, "-inf"},        {"%f", inf, "inf"},
      {"%f", nan, "nan"},          {"%f", -nan, "-nan"},
      {"%.2f", 1234.5, "1234.50"},
  };
  for (const Case& c : cases) {
    char buffer[64];
    format(buffer, sizeof buffer, c.format, c.value);
    EXPECT_STREQ(buffer, c.expected) << c.format << " of " << c.value;
  }
}

TEST_F(FramePatchTest, PatchedEntryFiltersAndTheTrampolineKeepsTheFormerBehaviour) {
  // A call of the routine itself goes through the filter...
  EXPECT_EQ(Convert(-0.0, reinterpret_cast<DigitConversionRoutine>(convertDigits_)).sign, ' ');
  EXPECT_EQ(Convert(-1.0, reinterpret_cast<DigitConversionRoutine>(convertDigits_)).sign, '-');
  // ...while the trampoline re-creates the unfiltered entry: the sign bit alone decides.
  const auto former = *static_cast<DigitConversionRoutine*>(Data("g_digitContinuation"));
  EXPECT_EQ(Convert(-0.0, former).sign, '-');
  EXPECT_EQ(Convert(0.0, former).sign, ' ');
  const Digits digits = Convert(-12.5, former);
  EXPECT_EQ(digits.sign, '-');
  EXPECT_EQ(digits.digits, "1250");
}

TEST_F(FramePatchTest, ARoutineThatAlreadyJumpsIsRetargetedAndChainsWithoutASlot) {
  const Slot before[2] = {area_[0], area_[1]};
  void* const filter = Data("NegativeZeroFilter");

  ASSERT_NE(patch_(const_cast<unsigned char*>(convertDigits_), &g_replacementContinuation,
                   reinterpret_cast<void*>(&CountingDigitReplacement)),
            0);
  EXPECT_EQ(g_replacementContinuation, filter) << "the jump's former destination";
  EXPECT_EQ(JumpTarget(convertDigits_),
            reinterpret_cast<const unsigned char*>(&CountingDigitReplacement));
  EXPECT_EQ(std::memcmp(before, area_, sizeof before), 0) << "no slot used";
  EXPECT_EQ(Protection(convertDigits_), static_cast<DWORD>(PAGE_EXECUTE_READ));
  // The new replacement chains to the earlier one: still no negative zero.
  EXPECT_EQ(Convert(-0.0, reinterpret_cast<DigitConversionRoutine>(convertDigits_)).sign, ' ');
  EXPECT_EQ(g_replacementCalls, 1);

  // The same for a routine built with a relative jump.
  auto* jumping = Export<unsigned char*>("ProbeJump");
  ASSERT_EQ(jumping[0], 0xE9);
  g_replacementCalls = 0;
  ASSERT_NE(
      patch_(jumping, &g_replacementContinuation, reinterpret_cast<void*>(&AddingReplacement)), 0);
  EXPECT_EQ(g_replacementContinuation, Data("ProbeJumpTarget"));
  EXPECT_EQ(reinterpret_cast<IntRoutine>(jumping)(1), 105);
  EXPECT_EQ(g_replacementCalls, 1);
}

TEST_F(FramePatchTest, RoutinesThatCannotBePatchedAreLeftAsTheyWere) {
  struct Case {
    const char* behaviour;
    const char* routine;
    int result;  // of routine(1)
  } const cases[] = {
      {"a third trampoline finds both slots taken", "ProbeHookable", 2},
      {"neither E9 nor the prologue pattern", "ProbePlain", 4},
  };
  const Slot before[2] = {area_[0], area_[1]};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.behaviour);
    auto* routine = Export<unsigned char*>(c.routine);
    ASSERT_NE(routine, nullptr);
    unsigned char entry[5];
    std::memcpy(entry, routine, sizeof entry);
    void* continuation = routine;
    EXPECT_EQ(patch_(routine, &continuation, reinterpret_cast<void*>(&AddingReplacement)), 0);
    EXPECT_EQ(continuation, routine) << "continuation keeps its starting value";
    EXPECT_EQ(std::memcmp(entry, routine, sizeof entry), 0);
    EXPECT_EQ(Protection(routine), static_cast<DWORD>(PAGE_EXECUTE_READ));
    EXPECT_EQ(reinterpret_cast<IntRoutine>(routine)(1), c.result);
  }
  EXPECT_EQ(std::memcmp(before, area_, sizeof before), 0);
  EXPECT_EQ(Protection(area_), static_cast<DWORD>(PAGE_EXECUTE_READ));
  EXPECT_EQ(g_replacementCalls, 0);
}

TEST_F(FramePatchTest, PatchingAgainWithTheSameReplacementChangesNothing) {
  // The filter's continuation must never become the filter itself.
  void* const filter = Data("NegativeZeroFilter");
  unsigned char entry[5];
  std::memcpy(entry, convertDigits_, sizeof entry);
  void* continuation = nullptr;
  EXPECT_EQ(patch_(const_cast<unsigned char*>(convertDigits_), &continuation, filter), 0);
  EXPECT_EQ(continuation, nullptr);
  EXPECT_EQ(std::memcmp(entry, convertDigits_, sizeof entry), 0);
  EXPECT_EQ(*static_cast<void**>(Data("g_digitContinuation")), &area_[0]);
  EXPECT_EQ(Convert(-0.0, reinterpret_cast<DigitConversionRoutine>(convertDigits_)).sign, ' ');
}

TEST_F(FramePatchTest, RefusedProtectionChangeLeavesTheRoutineAlone) {
  // Code in a read-only view of a file: it can never be made writable.
  const std::string path = frame_test::TemporaryFile("qarn_frame_patch_readonly");
  for (const unsigned char first : {static_cast<unsigned char>(0xE9), kPrologue[0]}) {
    SCOPED_TRACE(first == 0xE9 ? "relative jump" : "prologue pattern");
    unsigned char code[16] = {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0xC3};
    if (first == 0xE9) code[0] = 0xE9, code[1] = code[2] = code[3] = code[4] = 0;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, code, sizeof code, &written, nullptr));
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    auto* view = static_cast<unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    DWORD old;
    ASSERT_FALSE(VirtualProtect(view, 5, PAGE_EXECUTE_READWRITE, &old)) << "view is writable";

    void* continuation = view;
    const Slot before[2] = {area_[0], area_[1]};
    EXPECT_EQ(patch_(view, &continuation, reinterpret_cast<void*>(&AddingReplacement)), 0);
    EXPECT_EQ(continuation, view);
    EXPECT_EQ(std::memcmp(view, code, sizeof code), 0);
    EXPECT_EQ(std::memcmp(before, area_, sizeof before), 0);
    EXPECT_EQ(Protection(area_), static_cast<DWORD>(PAGE_EXECUTE_READ));
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(file);
  }
  DeleteFileA(path.c_str());
}

}  // namespace
