// The mismatch list as the report walks it, for tests: a walk longer than any real list means
// the list points back into itself.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "handshake/mismatch_list.h"

inline std::vector<const TableSizeNode*> Listed() {
  std::vector<const TableSizeNode*> nodes;
  for (const TableSizeNode* node = g_mismatchList; node != nullptr; node = node->next) {
    nodes.push_back(node);
    if (nodes.size() > 64) {
      ADD_FAILURE() << "the mismatch list points back into itself";
      break;
    }
  }
  return nodes;
}
