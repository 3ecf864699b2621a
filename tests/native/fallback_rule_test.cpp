#include "frame/fallback_rule.h"

#include <gtest/gtest.h>

#include <string>

#include "host/host_entries.h"

namespace {

struct OrdinalCase {
  const char* behaviour;
  unsigned ordinal;
  int stub;
};

// Every entry of the binding table, and the corners of the rule.
const OrdinalCase kOrdinalCases[] = {
    {"HostMessage ends in 28", kOrdHostMessage, 7},
    {"HostMessageF ends in 29", kOrdHostMessageF, kNoFallback},
    {"HostConvertText ends in 58, above 56", kOrdHostConvertText, kNoFallback},
    {"unused 38417 ends in 17", kOrdUnused38417, kNoFallback},
    {"HostCalloc ends in 85", kOrdHostCalloc, kNoFallback},
    {"HostFree ends in 87", kOrdHostFree, kNoFallback},
    {"HostProfile ends in 24", kOrdHostProfile, 6},
    {"HostRoundToInt ends in 78", kOrdHostRoundToInt, kNoFallback},
    {"HostTableByNumber ends in 56, the largest stub", kOrdHostTableByNumber, 14},
    {"HostShowDialog ends in 23", kOrdHostShowDialog, kNoFallback},
    {"HostErrorMessage ends in 30", kOrdHostErrorMessage, kNoFallback},
    {"HostCurrentWord ends in 65", kOrdHostCurrentWord, kNoFallback},
    {"HostCurrentLong ends in 66", kOrdHostCurrentLong, kNoFallback},
    {"HostTodayText ends in 04", kOrdHostTodayText, 1},
    {"HostQuietMode ends in 34", kOrdHostQuietMode, kNoFallback},
    {"HostFileOpen ends in 34", kOrdHostFileOpen, kNoFallback},
    {"HostFileClose ends in 05", kOrdHostFileClose, kNoFallback},
    {"HostProgressOpen ends in 28", kOrdHostProgressOpen, 7},
    {"HostProgressClose ends in 30", kOrdHostProgressClose, kNoFallback},
    {"HostProgressStep ends in 32", kOrdHostProgressStep, 8},
    {"HostProgressPoll ends in 34", kOrdHostProgressPoll, kNoFallback},
    {"HostTablePrepare ends in 65", kOrdHostTablePrepare, kNoFallback},
    {"HostGrossPrice ends in 89", kOrdHostGrossPrice, kNoFallback},
    {"HostFilePrintf ends in 41", kOrdHostFilePrintf, kNoFallback},
    {"HostReadRecord ends in 86", kOrdHostReadRecord, kNoFallback},
    {"HostVatText ends in 51", kOrdHostVatText, kNoFallback},
    {"HostFindRecord ends in 12", kOrdHostFindRecord, 3},
    {"99 marks a caller-cleans entry", 52099, 0},
    {"00 gives stub 0", 52000, 0},
    {"ordinal 0", 0, 0},
    {"ordinal 99 alone", 99, 0},
    {"60 is a multiple of 4 but above 56", 40060, kNoFallback},
    {"the largest ordinal, ending in 35", 65535, kNoFallback},
    {"65532 ends in 32", 65532, 8},
};

TEST(FallbackRule, OrdinalLastTwoDigitsGiveTheStub) {
  for (const OrdinalCase& c : kOrdinalCases) {
    EXPECT_EQ(FallbackStubForOrdinal(c.ordinal), c.stub) << c.behaviour;
    EXPECT_EQ(FallbackStubNumber(c.ordinal), c.stub) << c.behaviour << " (by entry)";
  }
}

struct NameCase {
  const char* behaviour;
  const char* name;
  int stub;
};

const NameCase kNameCases[] = {
    {"no at sign", "HostMessage", 0},
    {"empty name", "", 0},
    {"at sign followed by a letter", "Name@x12", 0},
    {"at sign at the end", "Name@", 0},
    {"decoration 12", "_HostFindRecord@12", 3},
    {"decoration 6 drops the remainder", "Name@6", 1},
    {"decoration 0", "Name@0", 0},
    {"decoration 56", "Name@56", 14},
    {"decoration 59 still stub 14", "Name@59", 14},
    {"decoration 60 has no stub", "Name@60", kNoFallback},
    {"the number ends at the first non-digit", "Name@12abc", 3},
    {"the last at sign counts", "a@60@8", 2},
    {"a last at sign before a letter wins over an earlier decoration", "a@8@x", 0},
    {"a huge decoration does not overflow", "Name@99999999999999999999999999", kNoFallback},
    {"leading zeros", "Name@0008", 2},
};

TEST(FallbackRule, NameDecorationGivesTheStub) {
  for (const NameCase& c : kNameCases) {
    EXPECT_EQ(FallbackStubForName(c.name), c.stub) << c.behaviour;
    // Names are told from ordinals by their address alone.
    const std::string copy = c.name;
    const auto address = reinterpret_cast<uintptr_t>(copy.c_str());
    ASSERT_FALSE(IsOrdinalEntry(address));
    EXPECT_EQ(FallbackStubNumber(address), c.stub) << c.behaviour << " (by entry)";
  }
}

TEST(FallbackRule, EntriesBelow65536AreOrdinals) {
  EXPECT_TRUE(IsOrdinalEntry(65535));
  EXPECT_FALSE(IsOrdinalEntry(65536));
}

}  // namespace
