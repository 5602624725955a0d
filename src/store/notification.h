// Change notifications: named listeners are told of every row added, updated
// or removed in the in-memory tables they watch.
//
// A listener names the tables it watches and the row state it wants
// (kRow* flags of store/row_object.h; 0: every change). The store calls
// SendNotification after each change; each enabled listener that watches the
// table and whose wanted flags are all set in the row's state gets a
// snapshot of the row (a copy, values and date-times copied deeply), the
// table name and a time stamp. Which states occur: an added row 2 (new) or 1
// (loaded); an update 5 or 6; a new row removed 2 or 6; a persisted row is
// announced with 8 only when the saver removes it after the database delete.
//
// Ownership: the listener list owns its listeners (their names and a sorted
// copy of their table names). A notification lives for the duration of the
// callbacks; a callback must copy what it wants to keep.
//
// Thread safety: the listener list is guarded by an internal mutex, so any
// thread may register, disable and remove listeners. Callbacks run on the
// thread that changed the table, inside the changing operation, without the
// list's mutex held; they must not change the listener list.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dictionary/date_time.h"
#include "store/row_object.h"

struct IMDSNotification {
  std::string tableName;
  std::unique_ptr<RowObject> row;  // a copy of the changed row, no next row
  KesDateTime timeStamp;           // local time when the notification was made
};

namespace fh {

using NotificationCallback = void (*)(const IMDSNotification* notification,
                                      const char* listenerName);

}  // namespace fh

struct NotificationListener {
  std::string listenerName;
  std::vector<std::string> tableNames;  // sorted ascending, ignoring case
  bool isEnabled = true;
  uint8_t eventType = 0;  // the wanted kRow* flags; 0: every change
  fh::NotificationCallback callback = nullptr;
};

// Creates the empty listener list,
// dropping any listener left (without callbacks or log lines).
void InitNotification();

// Logs "In Add notification Listener\n" (trace). Registers a listener and
// logs "Listener with name %s added\n" (debug). When a listener of that name
// (ignoring case) exists, logs "Listener with same name exists %s\n" (error)
// and adds nothing; the result is true all the same. false for a null name
// or callback, and with "Buffer Allocation is failed for listener!!!\n" or
// "Buffer allocation is failed for nodePtr !!!\n" (error) when memory is
// exhausted for the record or its place in the list.
bool AddNotificationListener(const char* listenerName, uint8_t eventType,
                             fh::NotificationCallback callback, bool isEnabled,
                             std::vector<std::string> tableNames);

// Logs "In Disable notification\n" (trace). true with "Listener with name %s
// disabled\n" (debug); false with "Listener with name %s doesn't exists\n"
// (error), or silently for an empty list. There is no way to enable it again.
bool DisableNotification(const char* listenerName);

// Logs "In Remove notification\n" (trace). true with "Listener with name %s
// removed\n" (debug) once the listener is freed; false as DisableNotification.
bool RemoveNotification(const char* listenerName);

namespace fh {

// true when a listener is registered (enabled or not): adding a row may then
// run a listener's code.
bool HasNotificationListeners();

}  // namespace fh

// Logs "In send notification\n" (trace). Delivers one notification for row
// of tableName as described at the top of this file. Nothing happens when no
// listener is registered. Per listener it logs, at debug level, "Listener %s
// disabled\n" (two blanks), "Listener not registered for %s table\n" (after
// "List doesn't contains key \n") or "Listener not registered for Eventype
// %d\n" when it skips it.
void SendNotification(const RowObject* row, const char* tableName);

// Logs "In CreateIMDSNotification \n" (trace). A new notification for row of
// tableName, or none when the table is not in memory, row is none or memory
// is exhausted.
std::unique_ptr<IMDSNotification> CreateIMDSNotification(const RowObject* row,
                                                         const char* tableName);

// Logs "In DeInit notification\n" (trace). Removes every listener, logging
// "Listener with name %s removed\n" (trace) for each.
void DeInitNotification();

// Logs "@@@ Inside IsListContains @@@\n" (trace). true when name is in
// sortedNames (sorted ascending ignoring case), compared ignoring case, by
// binary search. A miss logs "List doesn't contains key \n" (debug).
bool IsListContains(const std::vector<std::string>& sortedNames, const char* name);
