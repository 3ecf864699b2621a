#include "handshake/mismatch_list.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/native/mismatch_list_walk.h"

namespace {

// A host table object holding just the record-size field the plug-in reads.
struct FakeTable {
  std::array<unsigned char, 112> bytes{};
  explicit FakeTable(int16_t recordSize) {
    WriteAt(bytes.data(), table_object::kRecordSize, recordSize);
  }
  HostTable object() { return bytes.data(); }
};

class MismatchListTest : public ::testing::Test {
 protected:
  void SetUp() override { g_mismatchList = nullptr; }
  void TearDown() override { g_mismatchList = nullptr; }

  // Nodes as their owners fill them: all four fields, next null.
  static TableSizeNode Node(const char* name, int32_t expected, int32_t host) {
    return TableSizeNode{expected, host, name, nullptr};
  }
  static void ExpectListed(std::initializer_list<const TableSizeNode*> expected) {
    EXPECT_EQ(Listed(), std::vector<const TableSizeNode*>(expected));
  }
};

struct NoteCase {
  const char* label;
  int32_t expected;
  int32_t host;
  int32_t result;
  bool listed;
};

const NoteCase kNoteCases[] = {
    {"sizes agree", 1890, 1890, 0, false},
    {"host one byte short", 1890, 1889, -1, true},
    {"host larger", 2418, 2500, -1, true},
    {"no table object reads 0", 1024, 0, -1, true},
    {"host size read negative", 1890, -25536, -1, true},
    {"both zero agree", 0, 0, 0, false},
};

TEST_F(MismatchListTest, NoteTableSizeAppendsOnlyDifferingNodes) {
  for (const NoteCase& c : kNoteCases) {
    SCOPED_TRACE(c.label);
    g_mismatchList = nullptr;
    TableSizeNode node = Node("d_dek", c.expected, c.host);
    EXPECT_EQ(NoteTableSize(&node), c.result);
    if (c.listed) {
      ExpectListed({&node});
    } else {
      ExpectListed({});
    }
    EXPECT_EQ(node.next, nullptr);
  }
}

TEST_F(MismatchListTest, NodesKeepTheOrderOfAppendingAndEachAppendAnswersMinusOne) {
  TableSizeNode a = Node("d_dek", 2418, 0), b = Node("Qarn_wyc", 1890, 1900),
                c = Node("k9", 1024, 1000);
  EXPECT_EQ(AppendMismatch(&a), -1);
  EXPECT_EQ(AppendMismatch(&b), -1);
  EXPECT_EQ(AppendMismatch(&c), -1);
  ExpectListed({&a, &b, &c});
}

TEST_F(MismatchListTest, ReappendingAListedNodeChangesNothing) {
  // Whether the node is the head, in the middle or the tail, it stays listed once and the
  // tail stays the tail: appending the tail again must not make it point at itself.
  struct Case {
    const char* label;
    int which;
  };
  const Case cases[] = {{"head", 0}, {"middle", 1}, {"tail", 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    g_mismatchList = nullptr;
    TableSizeNode nodes[3] = {Node("d_dek", 2418, 1), Node("Qarn_wyc", 1890, 2),
                              Node("k9", 1024, 3)};
    for (TableSizeNode& node : nodes) AppendMismatch(&node);
    EXPECT_EQ(AppendMismatch(&nodes[c.which]), -1);
    EXPECT_EQ(NoteTableSize(&nodes[c.which]), -1);
    ExpectListed({&nodes[0], &nodes[1], &nodes[2]});
    EXPECT_EQ(nodes[2].next, nullptr);
  }
}

TEST_F(MismatchListTest, SingleNodeAppendedTwiceStaysAloneWithoutSelfLink) {
  TableSizeNode only = Node("k9", 1024, 0);
  AppendMismatch(&only);
  AppendMismatch(&only);
  EXPECT_EQ(g_mismatchList, &only);
  EXPECT_EQ(only.next, nullptr);
}

TEST_F(MismatchListTest, DistinctNodesWithTheSameNameAndSizesAreBothKept) {
  TableSizeNode handshakeNode = Node("Qarn_wyc", 1890, 1889);
  TableSizeNode hookNode = Node("Qarn_wyc", 1890, 1889);
  AppendMismatch(&handshakeNode);
  AppendMismatch(&hookNode);
  ExpectListed({&handshakeNode, &hookNode});
}

TEST_F(MismatchListTest, RefillingAListedNodeCutsTheNodesBehindIt) {
  TableSizeNode a = Node("d_dek", 2418, 0), b = Node("Qarn_wyc", 1890, 0), c = Node("k9", 1024, 0);
  AppendMismatch(&a);
  AppendMismatch(&b);
  AppendMismatch(&c);

  FakeTable table(1900);
  FillTableSizeNode(&b, "Qarn_wyc", 1890, table.object());
  ExpectListed({&a, &b});

  // Handed in again by its owner, the node is not listed twice; the cut node rejoins at the end.
  NoteTableSize(&b);
  NoteTableSize(&c);
  ExpectListed({&a, &b, &c});
}

TEST_F(MismatchListTest, RefillingEveryNodeInOrderRebuildsTheSameList) {
  // What a repeated attach with the same host does: every owner refills and hands in again.
  FakeTable dDek(2400), document(1900), k9(1024);
  TableSizeNode a{}, b{}, c{}, hook{};
  for (int attach = 0; attach < 3; ++attach) {
    SCOPED_TRACE(attach);
    FillTableSizeNode(&a, "d_dek", 2418, dDek.object());
    NoteTableSize(&a);
    FillTableSizeNode(&b, "Qarn_wyc", 1890, document.object());
    NoteTableSize(&b);
    FillTableSizeNode(&c, "k9", 1024, k9.object());
    NoteTableSize(&c);
    FillTableSizeNode(&hook, "Qarn_wyc", 1890, document.object());
    AppendMismatch(&hook);
    ExpectListed({&a, &b, &hook});
  }
}

TEST_F(MismatchListTest, StaleLinkOfAnUnlistedNodeIsNotSplicedIn) {
  // A node whose next still points into the list (say, the head) must join as the tail alone,
  // or the list would loop.
  TableSizeNode a = Node("d_dek", 2418, 0), b = Node("k9", 1024, 0);
  AppendMismatch(&a);
  AppendMismatch(&b);
  TableSizeNode stale = Node("Qarn_wyc", 1890, 0);
  stale.next = &a;
  AppendMismatch(&stale);
  ExpectListed({&a, &b, &stale});
  EXPECT_EQ(stale.next, nullptr);
}

struct FillCase {
  const char* label;
  bool hasObject;
  int16_t recordSize;
  int32_t hostSize;
};

const FillCase kFillCases[] = {
    {"matching size", true, 1890, 1890},
    {"one byte short", true, 1889, 1889},
    {"largest positive", true, 32767, 32767},
    {"32768 reads negative", true, static_cast<int16_t>(-32768), -32768},
    {"40000 reads negative", true, static_cast<int16_t>(40000 - 65536), -25536},
    {"65535 reads as -1", true, static_cast<int16_t>(-1), -1},
    {"no object", false, 0, 0},
};

TEST_F(MismatchListTest, FillTakesTheSignedSixteenBitSizeOrZeroAndClearsNext) {
  for (const FillCase& c : kFillCases) {
    SCOPED_TRACE(c.label);
    FakeTable table(c.recordSize);
    TableSizeNode other{};
    TableSizeNode node{-7, -7, "stale", &other};
    static const char kName[] = "Qarn_wyc";
    FillTableSizeNode(&node, kName, 1890, c.hasObject ? table.object() : nullptr);
    EXPECT_EQ(node.expectedSize, 1890);
    EXPECT_EQ(node.hostSize, c.hostSize);
    EXPECT_EQ(node.name, kName);
    EXPECT_EQ(node.next, nullptr);
  }
}

TEST_F(MismatchListTest, MissingTableAlwaysDiffersFromAPositiveExpectedSize) {
  for (int32_t expected : {1, 1024, 1890, 2418, 32767}) {
    SCOPED_TRACE(expected);
    g_mismatchList = nullptr;
    TableSizeNode node{};
    FillTableSizeNode(&node, "k9", expected, nullptr);
    EXPECT_EQ(NoteTableSize(&node), -1);
    ExpectListed({&node});
  }
}

}  // namespace
