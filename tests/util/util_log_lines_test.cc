// The exact lines the vector, the object lock, the threads, the queue and the
// string helpers write to a real log.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "util/message_queue.h"
#include "util/object_lock.h"
#include "util/string_helpers.h"
#include "util/thread_pool.h"
#include "util/vector.h"
#include "support/test_log.h"

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

TEST(UtilLogLinesTest, CloneVectorLines) {
  TestLog log;
  EXPECT_EQ(CloneVector(nullptr), nullptr);
  EXPECT_TRUE(log.HasLine("[TRACE]", "@@@@ Inside CloneVector @@@@\n"));
  EXPECT_TRUE(log.HasLine("[ERROR]", "Cannot clone vector.  Vector is NULL.\n"));
}

TEST(UtilLogLinesTest, LockThreadAndQueueLines) {
  TestLog log;
  InitMutex();
  InitThreadInfo();
  ThreadInfo pool[1];
  CheckThreadPool(pool, 1, nullptr, 1);
  EXPECT_EQ(CreateNewThread(nullptr, nullptr), nullptr);
  Vector queue;
  int message = 0;
  AddRcvdMsgToQueue(&queue, &message);
  ReadMsgFromQueueForProcessing(&queue);
  EXPECT_TRUE(log.HasLine("[TRACE]", "\n\t@@@@@ Inside InitMutex() @@@@@\n"));
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

}  // namespace
