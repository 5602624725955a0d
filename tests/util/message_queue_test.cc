#include "util/message_queue.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace {

TEST(MessageQueueTest, MessagesComeOutInTheOrderTheyWentIn) {
  int first = 1;
  int second = 2;
  Vector queue;
  EXPECT_EQ(AddRcvdMsgToQueue(&queue, &first), 1);
  EXPECT_EQ(AddRcvdMsgToQueue(&queue, &second), 1);
  EXPECT_EQ(ReadMsgFromQueueForProcessing(&queue), &first);
  EXPECT_EQ(ReadMsgFromQueueForProcessing(&queue), &second);
  EXPECT_EQ(ReadMsgFromQueueForProcessing(&queue), nullptr);
  EXPECT_EQ(queue.count, 0);
  EXPECT_EQ(queue.tail, nullptr);

  // The emptied queue keeps working: the tail was reset with the head.
  EXPECT_EQ(AddRcvdMsgToQueue(&queue, &second), 1);
  EXPECT_EQ(AddRcvdMsgToQueue(&queue, &first), 1);
  EXPECT_EQ(ReadMsgFromQueueForProcessing(&queue), &second);
  EXPECT_EQ(ReadMsgFromQueueForProcessing(&queue), &first);
}

TEST(MessageQueueTest, MissingQueue) {
  int message = 0;
  EXPECT_EQ(AddRcvdMsgToQueue(nullptr, &message), 0);
  EXPECT_EQ(ReadMsgFromQueueForProcessing(nullptr), nullptr);
}

signed char SameAddress(const VectorNode* newNode, const VectorNode* existing) {
  return VectorCompareResult(newNode->data == existing->data ? 0 : 1);
}

TEST(MessageQueueTest, RefusedMessageGivesZero) {
  int message = 0;
  Vector queue(SameAddress);
  EXPECT_EQ(AddRcvdMsgToQueue(&queue, &message), 1);
  EXPECT_EQ(AddRcvdMsgToQueue(&queue, &message), 0);
  EXPECT_EQ(queue.count, 1);
}

TEST(MessageQueueTest, ProducersAndConsumersLoseNothing) {
  constexpr int kProducers = 3;
  constexpr int kEach = 400;
  std::vector<int> messages(kProducers * kEach);
  Vector queue;
  std::vector<std::thread> threads;
  for (int p = 0; p < kProducers; ++p) {
    threads.emplace_back([&, p] {
      for (int i = 0; i < kEach; ++i) {
        EXPECT_EQ(AddRcvdMsgToQueue(&queue, &messages[p * kEach + i]), 1);
      }
    });
  }
  std::vector<void*> taken;
  std::vector<int> lastPerProducer(kProducers, -1);
  while (static_cast<int>(taken.size()) < kProducers * kEach) {
    void* message = ReadMsgFromQueueForProcessing(&queue);
    if (message == nullptr) {
      std::this_thread::yield();
      continue;
    }
    const int position = static_cast<int>(static_cast<int*>(message) - messages.data());
    // Each producer's messages come out in the order it added them.
    EXPECT_GT(position % kEach, lastPerProducer[position / kEach]);
    lastPerProducer[position / kEach] = position % kEach;
    taken.push_back(message);
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(std::set<void*>(taken.begin(), taken.end()).size(), taken.size());
  EXPECT_EQ(ReadMsgFromQueueForProcessing(&queue), nullptr);
}

}  // namespace
