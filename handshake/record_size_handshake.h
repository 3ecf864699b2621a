// The attach-time comparison of record sizes, and the report the host asks for on refusal.
#pragma once

#include <cstdint>

#include "host/host_types.h"

// The handshake's three nodes, filled at every attach in this order.
extern TableSizeNode g_dDekNode;
extern TableSizeNode g_documentNode;
extern TableSizeNode g_k9Node;

inline constexpr int kReportBufferSize = 3072;

// 0 when the attach is accepted (hook in place, notice shown), -1 when refused.
int32_t RecordSizeHandshake();
// The differing tables, or the version message when none differ.
void ShowMismatchReport();
