#include "util/message_queue.h"

#include <memory>
#include <new>
#include <utility>

#include "lock/object_lock.h"
#include "log/log.h"

int AddRcvdMsgToQueue(Vector* queue, void* message) {
  LogTrace("\n\t@@@@@ Inside AddRcvdMsgToQueue() @@@@@\n");
  std::unique_ptr<VectorNode> node;
  try {
    node = std::make_unique<VectorNode>();
  } catch (const std::bad_alloc&) {
    LogError("Buffer allocation is failed !!!\n");
    return 0;
  }
  node->data = message;
  return AddElement(queue, node);  // a refused node is freed with `node`
}

void* ReadMsgFromQueueForProcessing(Vector* queue) {
  if (queue == nullptr) {
    LogTrace("\n\t@@@@@ Inside ReadMsgFromQueueForProcessing() @@@@@\n");
    return nullptr;
  }
  std::unique_ptr<VectorNode> oldest;
  {
    fh::ObjectLockGuard hold(queue);
    LogTrace("\n\t@@@@@ Inside ReadMsgFromQueueForProcessing() @@@@@\n");
    if (queue->count <= 0 || queue->head == nullptr) return nullptr;
    oldest = std::move(queue->head);
    queue->head = std::move(oldest->next);
    if (queue->head == nullptr) queue->tail = nullptr;
    --queue->count;
  }
  return oldest->data;
}
