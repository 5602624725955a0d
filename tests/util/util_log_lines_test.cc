// The exact lines the vector, the object lock, the threads, the queue and the
// string helpers write to a real log.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "lock/object_lock.h"
#include "support/test_log.h"
#include "util/message_queue.h"
#include "util/string_helpers.h"
#include "util/thread_pool.h"
#include "util/value_conversions.h"
#include "util/vector.h"

namespace {

using fhtest::TestLog;

TEST(UtilLogLinesTest, VectorEntryLines) {
  TestLog log;
  int x = 1;
  Vector vector;
  InitVector(&vector, nullptr);
  AddElementData(&vector, &x);
  ElementAt(&vector, 0);
  GetNthElement(&vector, 0, vector.head.get());
  std::unique_ptr<VectorNode> node = std::make_unique<VectorNode>();
  InsertElementAt(&vector, node, 0);
  DeleteElement(&vector, vector.head.get());
  DeleteElementAt(&vector, 0);
  Vector other;
  MergeVector(&vector, &other);
  DeleteLCDVector(&vector, &x);
  FreeVector(&vector);
  for (const char* name : {"InitVector", "AddElementData", "AddElement", "ElementAt",
                           "GetNthElement", "InsertElementAt", "DeleteElement", "DeleteElementAt",
                           "MergeVector", "DeleteLCDVector", "FreeVector"}) {
    EXPECT_TRUE(log.HasLine("[TRACE]", std::string("\n\t@@@@@ Inside ") + name + "() @@@@@ \n"))
        << name;
  }
}

signed char CompareIntElements(const VectorNode* newNode, const VectorNode* existing) {
  return VectorCompareResult(*static_cast<const int*>(newNode->data) -
                             *static_cast<const int*>(existing->data));
}

TEST(UtilLogLinesTest, SortedInsertionFindsItsProbesWithGetNthElement) {
  int values[] = {10, 20, 30, 40, 50, 60, 70, 35};
  const fh::VectorCompareHolder ascending{CompareIntElements};
  Vector vector;
  InitVector(&vector, &ascending);
  for (int i = 0; i < 7; ++i) ASSERT_EQ(AddElementData(&vector, &values[i]), 1);
  TestLog log;
  ASSERT_EQ(AddElementData(&vector, &values[7]), 1);
  // Seven elements: at most three probes, each found by GetNthElement.
  const std::size_t probes = log.Count("\n\t@@@@@ Inside GetNthElement() @@@@@ \n");
  EXPECT_GE(probes, 1u);
  EXPECT_LE(probes, 3u);
}

TEST(UtilLogLinesTest, CloneVectorLines) {
  TestLog log;
  EXPECT_EQ(CloneVector(nullptr), nullptr);
  EXPECT_TRUE(log.HasLine("[TRACE]", "@@@@ Inside CloneVector @@@@\n"));
  EXPECT_TRUE(log.HasLine("[ERROR]", "Cannot clone vector.  Vector is NULL.\n"));
}

TEST(UtilLogLinesTest, LockThreadAndQueueLines) {
  TestLog log;
  InitThreadInfo();
  ThreadInfo pool[1];
  CheckThreadPool(pool, 1, nullptr, 1);
  EXPECT_EQ(CreateNewThread(nullptr, nullptr), nullptr);
  Vector queue;
  int message = 0;
  AddRcvdMsgToQueue(&queue, &message);
  ReadMsgFromQueueForProcessing(&queue);
  EXPECT_TRUE(log.HasLine("[TRACE]", "\n\t@@@@@ Inside InitThreadInfo() @@@@@\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "\n\t@@@@@ Inside CheckThreadPool() @@@@@\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "\n\t@@@@@ Inside CreateNewThread() @@@@@\n"));
  EXPECT_TRUE(log.HasLine("[DEBUG]", "Unable to create Thread\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "\n\t@@@@@ Inside AddRcvdMsgToQueue() @@@@@\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "\n\t@@@@@ Inside ReadMsgFromQueueForProcessing() @@@@@\n"));
}

TEST(UtilLogLinesTest, StringHelperLines) {
  TestLog log;
  SubString("abc", "b");
  std::optional<std::string> target;
  ReallocateAndSetString(target, "abc", -1);
  const unsigned char bytes[] = {1};
  ConvertToInteger(bytes, 1);
  EXPECT_TRUE(log.HasLine("[TRACE]", "\n\t@@@@@ Inside SubString() @@@@@ \n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "\n\t@@@@@ Inside ReallocateAndSetString() @@@@@ \n"));
  EXPECT_TRUE(log.HasLine("[ERROR]", "Unable to allocate memory\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "\n\t@@@@@ Inside ConvertToInteger() @@@@@ \n"));
}

TEST(UtilLogLinesTest, ValueConversionLines) {
  TestLog log;
  EXPECT_EQ(ConvertToStringFromInteger(-45), "-45");
  std::size_t length = 0;
  EXPECT_EQ(ConvertToStringFromUnsignedInteger(7u, length), "7");
  const std::uint32_t oid[] = {1, 3};
  length = sizeof oid;
  EXPECT_EQ(ConvertToStringFromOID(oid, length), ".1.3");
  EXPECT_TRUE(IsValidIPAddress("10.0.0.1", 8));
  EXPECT_EQ(ConvertToStringFromCounter64(Counter64{0, 42}), "42");
  const std::uint8_t octets[] = {0x07, 0xE8, 3, 15, 10, 30, 45, 5};
  length = sizeof octets;
  EXPECT_EQ(ConvertToStringFromDateTime(octets, length), "2024-3-15,10:30:45.5");
  EXPECT_TRUE(ConvertToDateTimeFromString("2024-3-15,10:30:45.5", length).has_value());
  std::uint8_t buffer[] = {1};
  EncryptDecryptKey(buffer, 1, 0);

  EXPECT_TRUE(log.HasLine("[TRACE]", "\n\t@@@@@ Inside ConvertToStringFromInteger() @@@@@\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "The string is -45\n"));
  EXPECT_TRUE(
      log.HasLine("[TRACE]", "\n\t@@@@@ Inside ConvertToStringFromUnsignedInteger() @@@@@\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "The value is 7\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "The string is 7\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "\n\t@@@@@ Inside ConvertToStringFromOID() @@@@@\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "The SubId IS 3\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "The String rep as SubId is 3\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "The String rep as OID is .1.3\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "\n\t@@@@@ Inside IsValidIPAddress() @@@@@\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "len is 8\n"));
  EXPECT_TRUE(log.HasLine("[DEBUG]", "The String is : 42\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "The retVal is 2024-3-15,10:30:45.5\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "e8\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "07\n"));
  EXPECT_TRUE(log.HasLine("[TRACE]", "\t\t@@@@@ Inside EncryptDecryptKey() @@@@@\n"));
}

}  // namespace
