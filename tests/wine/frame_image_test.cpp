// The plug-in DLL as a file: its exports, imports, trampoline section and delay-import table.
#include <windows.h>
// after windows.h
#include <delayimp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/wine/frame_test_support.h"

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// A PE32 image read from its file, addressed by RVA.
class PeFile {
 public:
  explicit PeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (bytes_.size() < sizeof(IMAGE_DOS_HEADER)) return;
    const auto& dos = At<IMAGE_DOS_HEADER>(0);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE) return;
    nt_ = &At<IMAGE_NT_HEADERS32>(static_cast<size_t>(dos.e_lfanew));
    if (nt_->Signature != IMAGE_NT_SIGNATURE ||
        nt_->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
      nt_ = nullptr;
      return;
    }
    const auto* first = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
        reinterpret_cast<const unsigned char*>(&nt_->OptionalHeader) +
        nt_->FileHeader.SizeOfOptionalHeader);
    sections_.assign(first, first + nt_->FileHeader.NumberOfSections);
  }

  bool Valid() const { return nt_ != nullptr; }
  const IMAGE_OPTIONAL_HEADER32& Optional() const { return nt_->OptionalHeader; }
  const std::vector<IMAGE_SECTION_HEADER>& Sections() const { return sections_; }
  const std::vector<char>& Bytes() const { return bytes_; }

  static std::string Name(const IMAGE_SECTION_HEADER& section) {
    return std::string(reinterpret_cast<const char*>(section.Name),
                       strnlen(reinterpret_cast<const char*>(section.Name), 8));
  }
  const IMAGE_SECTION_HEADER* SectionOf(DWORD rva) const {
    for (const IMAGE_SECTION_HEADER& s : sections_) {
      if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData) return &s;
    }
    return nullptr;
  }
  // The file offset of an RVA that has bytes in the file; throws a test failure otherwise.
  size_t Offset(DWORD rva) const {
    const IMAGE_SECTION_HEADER* s = SectionOf(rva);
    if (s == nullptr) throw std::runtime_error("RVA outside the file's sections");
    return rva - s->VirtualAddress + s->PointerToRawData;
  }
  template <typename T>
  const T& At(size_t offset) const {
    if (offset + sizeof(T) > bytes_.size()) throw std::runtime_error("read past the file");
    return *reinterpret_cast<const T*>(bytes_.data() + offset);
  }
  template <typename T>
  const T& AtRva(DWORD rva) const {
    return At<T>(Offset(rva));
  }
  std::string TextAt(DWORD rva) const { return std::string(&bytes_[Offset(rva)]); }
  const IMAGE_DATA_DIRECTORY& Directory(int index) const {
    return nt_->OptionalHeader.DataDirectory[index];
  }

  // Imports: library name (lower case) -> names, or "#ordinal" for imports by ordinal.
  std::map<std::string, std::vector<std::string>> Imports() const {
    std::map<std::string, std::vector<std::string>> imports;
    DWORD rva = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress;
    for (;; rva += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
      const auto& descriptor = AtRva<IMAGE_IMPORT_DESCRIPTOR>(rva);
      if (descriptor.Name == 0) break;
      std::vector<std::string>& names = imports[Lower(TextAt(descriptor.Name))];
      DWORD thunk = descriptor.OriginalFirstThunk != 0 ? descriptor.OriginalFirstThunk
                                                       : descriptor.FirstThunk;
      for (;; thunk += sizeof(DWORD)) {
        const DWORD entry = AtRva<DWORD>(thunk);
        if (entry == 0) break;
        if (entry & IMAGE_ORDINAL_FLAG32) {
          names.push_back("#" + std::to_string(entry & 0xFFFF));
        } else {
          names.push_back(TextAt(entry + offsetof(IMAGE_IMPORT_BY_NAME, Name)));
        }
      }
    }
    return imports;
  }

 private:
  std::vector<char> bytes_;
  const IMAGE_NT_HEADERS32* nt_ = nullptr;
  std::vector<IMAGE_SECTION_HEADER> sections_;
};

// The routed services' names, from the frame's list ("Name@N").
std::vector<std::string> RoutedServiceNames() {
  std::vector<std::string> names;
  for (const std::string& service : frame_test::SplitList(QARN_NOVRT_SERVICES)) {
    names.push_back(service.substr(0, service.find('@')));
  }
  return names;
}

class FrameImageTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(image_.Valid()) << frame_test::PluginPath(); }
  PeFile image_{frame_test::PluginPath()};
};

TEST_F(FrameImageTest, ExportsExactlyTheThreeEntriesByOrdinalWithoutNames) {
  const IMAGE_DATA_DIRECTORY& directory = image_.Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
  ASSERT_NE(directory.VirtualAddress, 0u);
  const auto& exports = image_.AtRva<IMAGE_EXPORT_DIRECTORY>(directory.VirtualAddress);
  EXPECT_EQ(exports.NumberOfNames, 0u);
  std::vector<unsigned> ordinals;
  for (DWORD i = 0; i < exports.NumberOfFunctions; ++i) {
    if (image_.AtRva<DWORD>(exports.AddressOfFunctions + i * sizeof(DWORD)) != 0) {
      ordinals.push_back(exports.Base + i);
    }
  }
  EXPECT_EQ(ordinals, (std::vector<unsigned>{30001, 30008, 30009}));
}

TEST_F(FrameImageTest, ImportsOnlySystemLibrariesAndZefirasTranslatorByOrdinal) {
  const std::map<std::string, std::vector<std::string>> imports = image_.Imports();
  std::set<std::string> libraries;
  for (const auto& [library, names] : imports) libraries.insert(library);
  // No runtime DLL of the compiler, and NOVRT.dll only through the delay-import table.
  EXPECT_EQ(libraries,
            (std::set<std::string>{"kernel32.dll", "msvcrt.dll", "user32.dll", "zefira.dll"}));
  EXPECT_EQ(imports.at("zefira.dll"), std::vector<std::string>{"#30005"});
  EXPECT_EQ(imports.at("user32.dll"), std::vector<std::string>{"MessageBoxA"});
  // The translator setting under the C++ name the platform's msvcrt exports it by.
  const std::vector<std::string>& msvcrt = imports.at("msvcrt.dll");
  EXPECT_NE(std::find(msvcrt.begin(), msvcrt.end(),
                      "?_set_se_translator@@YAP6AXIPAU_EXCEPTION_POINTERS@@@ZP6AXI0@Z@Z"),
            msvcrt.end());
}

// What the plug-in may still take from kernel32 directly: the services of the frame and of the
// delay-load helper, and the runtime's thread, lock and memory services. A new kernel32 import
// fails here until it is routed through NOVRT.dll (novrt_services.txt) or added below.
TEST_F(FrameImageTest, Kernel32ServicesOfTheRoutedFamiliesComeOnlyFromNovrt) {
  const std::set<std::string> notRouted = {
      // frame: load step, binding, patching
      "GetModuleFileNameA", "GetModuleHandleA", "GetProcAddress", "VirtualProtect",
      "FlushInstructionCache", "GetCurrentProcess", "SetLastError",
      // delay-load helper
      "LoadLibraryA", "FreeLibrary", "GetLastError", "RaiseException", "LocalAlloc", "LocalFree",
      // runtime: start-up relocation, locale module lookup, threads and locks
      "VirtualQuery", "GetModuleHandleW", "Sleep", "TlsAlloc", "TlsFree", "TlsGetValue",
      "TlsSetValue", "InitializeCriticalSection", "DeleteCriticalSection", "EnterCriticalSection",
      "LeaveCriticalSection", "ReleaseSemaphore", "WaitForSingleObject", "CloseHandle"};
  const std::vector<std::string> routed = RoutedServiceNames();
  const std::map<std::string, std::vector<std::string>> imports = image_.Imports();
  for (const std::string& name : imports.at("kernel32.dll")) {
    EXPECT_EQ(std::find(routed.begin(), routed.end(), name), routed.end())
        << name << " is routed through NOVRT.dll but still imported from kernel32";
    EXPECT_TRUE(notRouted.count(name)) << "unexpected kernel32 import " << name;
  }
}

TEST_F(FrameImageTest, TrampolineAreaIsA32ByteReadOnlyCodeSectionZeroInTheFile) {
  std::vector<IMAGE_SECTION_HEADER> code;
  for (const IMAGE_SECTION_HEADER& s : image_.Sections()) {
    if (PeFile::Name(s) == ".code") code.push_back(s);
  }
  ASSERT_EQ(code.size(), 1u);
  EXPECT_EQ(code[0].Characteristics, 0x60000020u);  // code, executable, readable; not writable
  EXPECT_EQ(code[0].Misc.VirtualSize, 32u);
  ASSERT_GE(code[0].SizeOfRawData, 32u);
  const char* raw = &image_.Bytes()[code[0].PointerToRawData];
  EXPECT_TRUE(std::all_of(raw, raw + code[0].SizeOfRawData, [](char b) { return b == 0; }));
}

TEST_F(FrameImageTest, DelayImportTableNamesEveryRoutedServiceOfNovrt) {
  // The descriptor: RVA-based, naming NOVRT.dll, somewhere in the read-only data.
  std::vector<ImgDelayDescr> found;
  for (const IMAGE_SECTION_HEADER& s : image_.Sections()) {
    if (s.Characteristics & (IMAGE_SCN_MEM_WRITE | IMAGE_SCN_MEM_EXECUTE)) continue;
    for (DWORD at = 0; at + sizeof(ImgDelayDescr) <= s.SizeOfRawData; at += 4) {
      const auto& d = image_.At<ImgDelayDescr>(s.PointerToRawData + at);
      if (d.grAttrs != dlattrRva || image_.SectionOf(d.rvaDLLName) == nullptr) continue;
      if (image_.TextAt(d.rvaDLLName) == "NOVRT.dll") found.push_back(d);
    }
  }
  ASSERT_EQ(found.size(), 1u);
  const ImgDelayDescr& descriptor = found[0];
  EXPECT_EQ(descriptor.rvaUnloadIAT, 0u) << "no unloading";
  EXPECT_EQ(descriptor.rvaBoundIAT, 0u);
  const auto writable = [&](DWORD rva) {
    const IMAGE_SECTION_HEADER* s = image_.SectionOf(rva);
    return s != nullptr && (s->Characteristics & IMAGE_SCN_MEM_WRITE);
  };
  EXPECT_TRUE(writable(descriptor.rvaHmod));
  EXPECT_TRUE(writable(descriptor.rvaIAT));

  // Names by hint/name entry, in slot order; each slot starts at a load thunk in code.
  std::vector<std::string> names;
  for (DWORD i = 0;; ++i) {
    const DWORD entry = image_.AtRva<DWORD>(descriptor.rvaINT + i * 4);
    const DWORD slot = image_.AtRva<DWORD>(descriptor.rvaIAT + i * 4);
    if (entry == 0) {
      EXPECT_EQ(slot, 0u) << "the slots end with the names";
      break;
    }
    names.push_back(image_.TextAt(entry + offsetof(IMAGE_IMPORT_BY_NAME, Name)));
    const IMAGE_SECTION_HEADER* target = image_.SectionOf(slot - image_.Optional().ImageBase);
    ASSERT_NE(target, nullptr) << names.back();
    EXPECT_TRUE(target->Characteristics & IMAGE_SCN_MEM_EXECUTE) << names.back();
  }
  EXPECT_EQ(names, RoutedServiceNames());
  EXPECT_NE(std::find(names.begin(), names.end(), "GetFileInformationByHandleEx"), names.end());
}

// The two routines the load step patches begin with the hot-patch prologue in the image; the
// probe DLL exports them by name (it is linked from the same objects).
TEST(FrameProbeImageTest, PatchedRoutinesBeginWithTheHotPatchPrologue) {
  HMODULE probe =
      LoadLibraryExA(frame_test::ProbePath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(probe, nullptr) << GetLastError();
  const unsigned char prologue[] = {0x8B, 0xFF, 0x55, 0x8B, 0xEC};
  for (const char* routine : {"ConvertDigits", "RuntimeFileInformation@16"}) {
    const auto* entry = reinterpret_cast<const unsigned char*>(GetProcAddress(probe, routine));
    ASSERT_NE(entry, nullptr) << routine;
    EXPECT_EQ(std::memcmp(entry, prologue, sizeof prologue), 0) << routine;
  }
  FreeLibrary(probe);
}

}  // namespace
