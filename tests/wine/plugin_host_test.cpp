// The test host, proven with the stand-in plug-in probe_plugin.dll: its patches catch the calls
// a plug-in makes while it loads, hidden ordinals look missing, scripted answers decide the
// load, and one process can load the plug-in again and again.
#include "tests/wine/plugin_host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_entries.h"
#include "sim/host_model.h"

namespace {

using plugin_host::LookupCall;
using plugin_host::MessageBoxCall;
using plugin_host::PluginHost;

constexpr char kProbe[] = "probe_plugin.dll";
constexpr unsigned kMissingEntryStyle = 0x2012;

std::vector<LookupCall> LookupsFrom(const PluginHost& host, HMODULE caller) {
  std::vector<LookupCall> out;
  for (const LookupCall& call : host.Lookups()) {
    if (call.callerModule == caller) out.push_back(call);
  }
  return out;
}

TEST(PluginHostTest, APluginsImportsAreBoundToThePatchedRoutines) {
  PluginHost host;
  ASSERT_TRUE(host.Load(kProbe)) << "error " << host.LoadError();
  EXPECT_EQ(plugin_host::ImportedAddress(host.Plugin(), "kernel32.dll", "GetProcAddress"),
            plugin_host::PatchedGetProcAddress());
  EXPECT_EQ(plugin_host::ImportedAddress(host.Plugin(), "user32.dll", "MessageBoxA"),
            plugin_host::PatchedMessageBoxA());
  EXPECT_EQ(plugin_host::ImportedAddress(host.Plugin(), "user32.dll", "NoSuchImport"), nullptr);
}

TEST(PluginHostTest, LoadTimeLookupsAreRecordedAndAnsweredByThePlatform) {
  PluginHost host;
  ASSERT_TRUE(host.Load(kProbe)) << "error " << host.LoadError();
  ASSERT_NE(host.Zefira(), nullptr);

  const std::vector<LookupCall> lookups = LookupsFrom(host, host.Plugin());
  ASSERT_EQ(lookups.size(), 2u);
  EXPECT_TRUE(lookups[0].inHostLibrary);
  EXPECT_EQ(lookups[0].module, host.Zefira());
  EXPECT_TRUE(lookups[0].byOrdinal);
  EXPECT_EQ(lookups[0].ordinal, 52028u);
  const FARPROC hostMessage =
      plugin_host::RealGetProcAddress(host.Zefira(), MAKEINTRESOURCEA(52028));
  ASSERT_NE(hostMessage, nullptr);
  EXPECT_EQ(lookups[0].answer, hostMessage);

  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  EXPECT_FALSE(lookups[1].inHostLibrary);
  EXPECT_EQ(lookups[1].module, kernel32);
  EXPECT_FALSE(lookups[1].byOrdinal);
  EXPECT_EQ(lookups[1].name, "GetTickCount");
  EXPECT_EQ(lookups[1].answer, plugin_host::RealGetProcAddress(kernel32, "GetTickCount"));
  EXPECT_NE(lookups[1].answer, nullptr);

  EXPECT_EQ(host.HostOrdinalLookups(), std::vector<unsigned>{52028});
  EXPECT_TRUE(host.MessageBoxes().empty());
  EXPECT_EQ(host.Entry30009(), 0) << "no box at load";

  // The address found at load is ZEFIRA's real entry: calling it reaches the model.
  char name[32] = {};
  char greeting[] = "dzien dobry";
  EXPECT_EQ(host.Attach(greeting, name), 0);
  EXPECT_STREQ(name, "probe_plugin");
  const std::vector<sim::Call> messages = sim::Host().CallsTo(kOrdHostMessage);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].texts, (std::vector<std::string>{"probe", "dzien dobry"}));
  EXPECT_EQ(messages[0].ints[2], 1);
  EXPECT_EQ(host.Detach(), 1);
}

TEST(PluginHostTest, AHiddenOrdinalLooksMissingAndTheScriptedAnswerDecidesTheLoad) {
  struct Case {
    const char* name;
    std::vector<int> answers;
    int defaultAnswer;
    bool loads;
  };
  const Case cases[] = {
      {"Abort stops the load", {plugin_host::kAnswerAbort}, plugin_host::kAnswerAbort, false},
      {"Ignore lets it go on", {plugin_host::kAnswerIgnore}, plugin_host::kAnswerAbort, true},
      {"unscripted: the default Abort", {}, plugin_host::kAnswerAbort, false},
      {"unscripted: a default of Ignore", {}, plugin_host::kAnswerIgnore, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PluginHost host;
    host.HideHostOrdinal(52028);
    host.SetMessageBoxAnswers(c.answers);
    host.SetDefaultMessageBoxAnswer(c.defaultAnswer);

    EXPECT_EQ(host.Load(kProbe), c.loads);
    EXPECT_EQ(host.LoadError() != 0, !c.loads);
    ASSERT_EQ(host.MessageBoxes().size(), 1u);
    const MessageBoxCall& box = host.MessageBoxes()[0];
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.text, "brak wpisu 52028");
    EXPECT_EQ(box.caption, "probe_plugin");
    EXPECT_EQ(box.style, kMissingEntryStyle);
    ASSERT_EQ(host.HostOrdinalLookups(), std::vector<unsigned>{52028});
    for (const LookupCall& lookup : host.Lookups()) {
      if (lookup.inHostLibrary) {
        EXPECT_EQ(lookup.answer, nullptr);
      }
    }
    if (c.loads) {
      EXPECT_EQ(host.Entry30009(), plugin_host::kAnswerIgnore);
    }
  }
}

TEST(PluginHostTest, OnlyHiddenOrdinalsOfTheHostLibraryLookMissing) {
  PluginHost host;
  host.HideHostOrdinal(52029);
  host.HideHostOrdinal(30007);
  ASSERT_TRUE(host.Load(kProbe)) << "52028 is still there";
  EXPECT_TRUE(host.MessageBoxes().empty());

  struct Case {
    unsigned ordinal;
    bool hidden;
  };
  for (const Case& c :
       {Case{52029, true}, Case{30007, true}, Case{52028, false}, Case{52158, false}}) {
    SCOPED_TRACE(c.ordinal);
    SetLastError(0);
    const FARPROC seen = GetProcAddress(host.Zefira(), MAKEINTRESOURCEA(c.ordinal));
    EXPECT_EQ(seen == nullptr, c.hidden);
    if (c.hidden) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    }
    EXPECT_NE(plugin_host::RealGetProcAddress(host.Zefira(), MAKEINTRESOURCEA(c.ordinal)), nullptr)
        << "the double does export it";
  }
  host.ShowHostOrdinal(52029);
  EXPECT_NE(GetProcAddress(host.Zefira(), MAKEINTRESOURCEA(52029)), nullptr);
}

TEST(PluginHostTest, MessageBoxesAnswerFromTheScriptInOrderThenTheDefault) {
  PluginHost host;
  host.SetMessageBoxAnswers(
      {plugin_host::kAnswerRetry, plugin_host::kAnswerRetry, plugin_host::kAnswerIgnore});
  host.SetDefaultMessageBoxAnswer(IDOK);
  const std::string text = sim::Utf8ToWindows1250("Błąd");
  std::vector<int> answers;
  for (int i = 0; i < 4; ++i) answers.push_back(MessageBoxA(nullptr, text.c_str(), "T", 0x2012));
  EXPECT_EQ(answers, (std::vector<int>{IDRETRY, IDRETRY, IDIGNORE, IDOK}));
  ASSERT_EQ(host.MessageBoxes().size(), 4u);
  EXPECT_EQ(host.MessageBoxes()[3].text, text) << "text recorded as bytes";
  EXPECT_EQ(host.MessageBoxes()[3].answer, IDOK);
  MessageBoxA(nullptr, nullptr, nullptr, 0);
  EXPECT_EQ(host.MessageBoxes()[4].text, "");
}

TEST(PluginHostTest, OneProcessLoadsAndUnloadsThePluginRepeatedly) {
  PluginHost host;
  for (int round = 1; round <= 3; ++round) {
    SCOPED_TRACE(round);
    host.Reset();
    ASSERT_TRUE(host.Load(kProbe)) << "error " << host.LoadError();
    EXPECT_EQ(host.HostOrdinalLookups(), std::vector<unsigned>{52028}) << "DllMain ran anew";
    // The loader bound the static import of ZEFIRA's 30005.
    EXPECT_EQ(host.Report(round), 2 * round);
    const std::vector<sim::Call> translator = sim::Host().CallsTo(kOrdHostSeTranslator);
    ASSERT_EQ(translator.size(), 1u);
    EXPECT_EQ(translator[0].ints[0], round);
    host.Unload();
    EXPECT_FALSE(host.Loaded());
    EXPECT_EQ(GetModuleHandleA(kProbe), nullptr) << "really unloaded";
  }
}

}  // namespace
