// A first-in first-out queue of messages kept in a Vector without comparison
// function: AddRcvdMsgToQueue appends, ReadMsgFromQueueForProcessing takes
// the oldest. The messages are untyped pointers owned by the caller; the
// queue owns only its nodes.
//
// Thread safety: both functions hold the object lock on the queue's address,
// so several producers and consumers may share one queue. Do not call them
// while holding that lock.
#pragma once

#include "util/vector.h"

// Logs "\n\t@@@@@ Inside AddRcvdMsgToQueue() @@@@@\n" and appends message. 1
// when appended; 0 when no node could be allocated (LogError("Buffer
// allocation is failed !!!\n")), when queue is none, or when AddElement
// refused the node (a queue with a comparison function holding an equal
// message); a refused node is freed.
int AddRcvdMsgToQueue(Vector* queue, void* message);

// Logs "\n\t@@@@@ Inside ReadMsgFromQueueForProcessing() @@@@@\n" and takes
// the oldest message out of the queue (its node is freed). The message, or
// none when the queue is empty or none. A queue never holds null messages
// unless a caller added one, which then reads back as none too.
void* ReadMsgFromQueueForProcessing(Vector* queue);
