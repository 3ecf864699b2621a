// Delay-loading of NOVRT.dll under the host's notification hook (ZEFIRA's 30007): while the
// plug-in loads, and later through the patched file-information service of the probe DLL.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wine/frame_test_support.h"
#include "tests/wine/plugin_host.h"

namespace {

using plugin_host::PluginHost;

typedef BOOL(WINAPI* FileInformationRoutine)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

constexpr char kService[] = "GetFileInformationByHandleEx";

// One notification as the hook saw it.
struct Notification {
  int64_t code;
  std::string library;
  std::string service;
  bool operator==(const Notification& other) const {
    return code == other.code && library == other.library && service == other.service;
  }
};
std::ostream& operator<<(std::ostream& out, const Notification& n) {
  return out << "{" << n.code << ", " << n.library << ", " << n.service << "}";
}

std::vector<Notification> Notifications() {
  std::vector<Notification> out;
  for (const sim::Call& call : sim::Host().CallsTo(kOrdHostDelayLoadHook)) {
    out.push_back({call.ints.at(0), call.texts.at(0), call.texts.at(1)});
  }
  return out;
}

std::vector<Notification> Resolution(std::vector<int64_t> codes, const std::string& service) {
  std::vector<Notification> out;
  for (int64_t code : codes) out.push_back({code, "NOVRT.dll", service});
  return out;
}

bool NovrtLoaded() { return GetModuleHandleA("NOVRT.dll") != nullptr; }

// A scripted stand-in for the service: answers a file size of 77.
int g_fakeCalls = 0;
BOOL WINAPI FakeFileInformation(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID buffer, DWORD) {
  ++g_fakeCalls;
  static_cast<FILE_STANDARD_INFO*>(buffer)->EndOfFile.QuadPart = 77;
  return TRUE;
}

// A five-byte file, and the size the probe's file-information service reports for it.
class FiveByteFile {
 public:
  FiveByteFile() {
    handle_ = CreateFileA(frame_test::TemporaryFile("qarn_frame_delay_load").c_str(),
                          GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    DWORD written = 0;
    if (handle_ != INVALID_HANDLE_VALUE) WriteFile(handle_, "12345", 5, &written, nullptr);
  }
  ~FiveByteFile() { CloseHandle(handle_); }
  // The size as the routine answers it; -1 when it fails.
  int64_t SizeThrough(FileInformationRoutine routine) const {
    FILE_STANDARD_INFO info = {};
    if (!routine(handle_, FileStandardInfo, &info, sizeof info)) return -1;
    return info.EndOfFile.QuadPart;
  }

 private:
  HANDLE handle_;
};

class FrameDelayLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fakeCalls = 0;
    ASSERT_FALSE(NovrtLoaded()) << "each test starts in a fresh process";
  }
  // The probe DLL loaded, and its patched file-information service.
  FileInformationRoutine LoadProbe() {
    EXPECT_TRUE(host_.Load(frame_test::ProbePath())) << "error " << host_.LoadError();
    return reinterpret_cast<FileInformationRoutine>(reinterpret_cast<void (*)()>(
        plugin_host::RealGetProcAddress(host_.Plugin(), "RuntimeFileInformation@16")));
  }

  PluginHost host_;
  FiveByteFile file_;
};

TEST_F(FrameDelayLoadTest, HostHookSeesNovrtResolvedWhileThePluginLoads) {
  ASSERT_TRUE(host_.Load(frame_test::PluginPath())) << "error " << host_.LoadError();
  EXPECT_TRUE(NovrtLoaded());
  const std::vector<Notification> seen = Notifications();
  ASSERT_GE(seen.size(), 4u);
  // The runtime's first service: start, before loading the library, before the lookup, end.
  EXPECT_EQ(std::vector<Notification>(seen.begin(), seen.begin() + 4),
            Resolution({0, 1, 2, 5}, "CreateSemaphoreW"));
  // Any later resolution knows the library already.
  for (size_t i = 4; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].library, "NOVRT.dll");
    EXPECT_NE(seen[i].code, 1) << seen[i];
  }
}

TEST_F(FrameDelayLoadTest, HostWithoutHookLoadsNovrtByName) {
  host_.HideHostOrdinal(kOrdHostDelayLoadHook);
  ASSERT_TRUE(host_.Load(frame_test::PluginPath())) << "error " << host_.LoadError();
  EXPECT_TRUE(Notifications().empty());
  EXPECT_TRUE(NovrtLoaded());
  EXPECT_EQ(host_.HostOrdinalLookups().front(), static_cast<unsigned>(kOrdHostDelayLoadHook));
}

TEST_F(FrameDelayLoadTest, AnswerToNotificationOneSuppliesTheModule) {
  // kernel32 offers every routed service under the same name.
  sim::Host().SetDelayLoadAnswer(1, reinterpret_cast<uintptr_t>(GetModuleHandleA("kernel32")));
  const FileInformationRoutine service = LoadProbe();
  ASSERT_NE(service, nullptr);
  EXPECT_FALSE(NovrtLoaded());
  const std::vector<Notification> atLoad = Notifications();
  ASSERT_GE(atLoad.size(), 4u);
  EXPECT_EQ(atLoad[1], Resolution({1}, "CreateSemaphoreW")[0]);

  // A later resolution uses that module without asking notification 1 again.
  sim::Host().ClearCalls();
  EXPECT_EQ(file_.SizeThrough(service), 5);
  EXPECT_EQ(Notifications(), Resolution({0, 2, 5}, kService));
  EXPECT_FALSE(NovrtLoaded());
}

TEST_F(FrameDelayLoadTest, AnswerToNotificationZeroServesOneCallAndLeavesTheSlot) {
  const FileInformationRoutine service = LoadProbe();
  ASSERT_NE(service, nullptr);
  sim::Host().SetDelayLoadAnswer(0, reinterpret_cast<uintptr_t>(&FakeFileInformation), kService);
  sim::Host().ClearCalls();
  EXPECT_EQ(file_.SizeThrough(service), 77);
  EXPECT_EQ(file_.SizeThrough(service), 77);
  EXPECT_EQ(g_fakeCalls, 2);
  // Each call asked the hook again.
  std::vector<int64_t> starts;
  for (const Notification& n : Notifications()) {
    EXPECT_EQ(n.service, kService);
    if (n.code == 0) starts.push_back(n.code);
  }
  EXPECT_EQ(starts.size(), 2u);

  // Without the answer the service resolves in NOVRT.dll: the slot never held the stand-in.
  sim::Host().SetDelayLoadAnswer(0, 0, kService);
  EXPECT_EQ(file_.SizeThrough(service), 5);
  EXPECT_EQ(g_fakeCalls, 2);
}

TEST_F(FrameDelayLoadTest, AnswerToNotificationTwoIsStoredInTheSlot) {
  const FileInformationRoutine service = LoadProbe();
  ASSERT_NE(service, nullptr);
  sim::Host().SetDelayLoadAnswer(2, reinterpret_cast<uintptr_t>(&FakeFileInformation), kService);
  sim::Host().ClearCalls();
  EXPECT_EQ(file_.SizeThrough(service), 77);
  EXPECT_EQ(Notifications(), Resolution({0, 2, 5}, kService));

  // Bound: later calls go straight to the stand-in, the hook is not asked.
  sim::Host().SetDelayLoadAnswer(2, 0, kService);
  sim::Host().ClearCalls();
  EXPECT_EQ(file_.SizeThrough(service), 77);
  EXPECT_EQ(g_fakeCalls, 2);
  EXPECT_TRUE(Notifications().empty());
}

}  // namespace
