#include "frame/missing_entry_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "host/host_types.h"
#include "host/module_record.h"
#include "sim/host_model.h"

namespace {

std::string Mazovia(const std::string& utf8) { return sim::Utf8ToMazovia(utf8); }

// The message as the user reads it, markup written out, in UTF-8.
std::string ExpectedMessage(const std::string& module, const std::string& entry,
                            const std::string& plugin = "Qarn_tzak_fakt_zbiorcza") {
  return "W module \x02" + module + "\x01\nbrak wpisu \x02" + entry +
         "\x01\nWywołano z wtyczki \x02" + plugin +
         "\x01.\n\n"
         "Błąd ten można zignorować lecz dalsza praca\n"
         "programu w tych warunkach może być niebezpieczna.\n\n"
         "Konieczna jest aktualizacja programu!";
}

std::string Compose(const std::string& module, const std::string& entry, size_t size) {
  // An exact-size block, so that a write past its end is caught.
  std::unique_ptr<char[]> buffer(new char[size]);
  const size_t length =
      ComposeMissingEntryText(buffer.get(), size, module.c_str(), entry.c_str(), kPluginName);
  EXPECT_EQ(length, std::strlen(buffer.get()));
  return std::string(buffer.get(), length);
}

TEST(MissingEntryText, TemplateAndTitleAreTheSystemsTexts) {
  EXPECT_EQ(kMissingEntryTemplate, Mazovia(ExpectedMessage("%s", "%s", "%s")));
  EXPECT_EQ(std::strlen(kMissingEntryTemplate), 188u);
  EXPECT_EQ(kMissingEntryTitle, Mazovia("POWAŻNY BŁĄD WTYCZKI"));
  EXPECT_EQ(std::strlen(kMissingEntryTitle), 20u);
  EXPECT_LE(std::strlen(kMissingEntryTitle) + 1, kMissingEntryTitleSize);
}

struct ComposeCase {
  const char* behaviour;
  std::string module;
  std::string entry;
};

TEST(MissingEntryText, PutsModuleEntryAndPluginNameInOrder) {
  const ComposeCase cases[] = {
      {"a module path and an ordinal", "C:\\Program\\qarn_zak_fakt_zbiorcza.dll", "52028"},
      {"the unknown module", kUnknownModuleName, "38417"},
      {"an entry name", "C:\\x.dll", "_HostMessage@12"},
      {"a module path with Polish letters stays Mazovia", Mazovia("C:\\Księgowość\\q.dll"),
       "52158"},
      {"empty texts", "", ""},
  };
  for (const ComposeCase& c : cases) {
    EXPECT_EQ(Compose(c.module, c.entry, kMissingEntryTextSize),
              Mazovia(ExpectedMessage(c.module, c.entry)))
        << c.behaviour;
  }
}

TEST(MissingEntryText, LongestModulePathAndOrdinalFitExactly) {
  const std::string module(kModulePathSize - 1, 'm');
  const std::string text = Compose(module, "65535", kMissingEntryTextSize);
  EXPECT_EQ(text.size(), kMissingEntryTextSize - 1);
  EXPECT_EQ(text, Mazovia(ExpectedMessage(module, "65535")));
}

TEST(MissingEntryText, LongerTextIsCutAtTheBufferEnd) {
  const std::string module(kModulePathSize - 1, 'm');
  const std::string longName(100, 'n');
  const std::string full = Mazovia(ExpectedMessage(module, longName));
  for (size_t size : {kMissingEntryTextSize, size_t{1}, size_t{9}, size_t{200}}) {
    const std::string text = Compose(module, longName, size);
    EXPECT_EQ(text, full.substr(0, size - 1)) << "buffer of " << size;
  }
  char untouched = 'x';
  EXPECT_EQ(ComposeMissingEntryText(&untouched, 0, "m", "e", kPluginName), 0u);
  EXPECT_EQ(untouched, 'x');
}

TEST(MissingEntryText, EntryTextIsDecimalOrdinalOrTheNameUnchanged) {
  struct {
    uintptr_t entry;
    const char* text;
  } const ordinals[] = {{52028, "52028"}, {0, "0"}, {7, "7"}, {30204, "30204"}, {65535, "65535"}};
  for (const auto& c : ordinals) {
    char buffer[16];
    EXPECT_EQ(FormatEntryText(buffer, sizeof buffer, c.entry), std::strlen(c.text));
    EXPECT_STREQ(buffer, c.text);
  }
  const std::string name = "_HostFilePrintf";
  char buffer[32];
  FormatEntryText(buffer, sizeof buffer, reinterpret_cast<uintptr_t>(name.c_str()));
  EXPECT_EQ(std::string(buffer), name);

  char small[4];
  EXPECT_EQ(FormatEntryText(small, sizeof small, 52028), 3u);
  EXPECT_STREQ(small, "520");
}

TEST(MissingEntryText, MarkupBytesBecomeSpacesInsertsIncluded) {
  std::string text = Compose(
      "a\x01"
      "b\x02"
      "c",
      "52028", kMissingEntryTextSize);
  ReplaceMarkupBytes(text.data());
  EXPECT_EQ(text.find('\x01'), std::string::npos);
  EXPECT_EQ(text.find('\x02'), std::string::npos);
  // The first line: "W module", two spaces, the module name and one space.
  EXPECT_EQ(text.substr(0, text.find('\n')), "W module  a b c ");
  EXPECT_EQ(text.substr(text.find('\n') + 1, 19), "brak wpisu  52028 \n");
  EXPECT_EQ(text.size(), Compose("a\x01"
                                 "b\x02"
                                 "c",
                                 "52028", kMissingEntryTextSize)
                             .size());
}

}  // namespace
