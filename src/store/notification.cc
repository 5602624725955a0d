#include "store/notification.h"

#include <strings.h>

#include <algorithm>
#include <new>
#include <utility>

#include "log/log.h"
#include "platform/mutex.h"
#include "store/table_data.h"

namespace {

// The process-wide listener list, in registration order.
struct NotificationState {
  fh::Mutex mutex;
  std::vector<std::unique_ptr<NotificationListener>> listeners GUARDED_BY(mutex);
};

NotificationState& Notifications() {
  // Never destroyed: listeners may be removed during static destruction.
  static NotificationState* state = new NotificationState;
  return *state;
}

using ListenerList = std::vector<std::unique_ptr<NotificationListener>>;

ListenerList::iterator FindListener(ListenerList& listeners, const char* name) {
  return std::find_if(listeners.begin(), listeners.end(),
                      [name](const std::unique_ptr<NotificationListener>& listener) {
                        return strcasecmp(listener->listenerName.c_str(), name) == 0;
                      });
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) < 0;
}

// true when a listener wanting eventType takes a row in state.
bool WantsState(uint8_t eventType, uint8_t state) {
  return eventType == 0 || (state & eventType) == eventType;
}

// A listener to be called, copied out of the list so that callbacks run
// without the list's mutex.
struct Delivery {
  std::string listenerName;
  fh::NotificationCallback callback;
};

// The listeners that take a row of tableName in state, with the skip lines.
std::vector<Delivery> ChooseListeners(const char* tableName, uint8_t state) {
  std::vector<Delivery> deliveries;
  NotificationState& notifications = Notifications();
  fh::MutexLock lock(&notifications.mutex);
  for (const std::unique_ptr<NotificationListener>& listener : notifications.listeners) {
    if (!listener->isEnabled) {
      LogDebug("Listener %s  disabled\n", listener->listenerName.c_str());
    } else if (!IsListContains(listener->tableNames, tableName)) {
      LogDebug("Listener not registered for %s table\n", tableName);
    } else if (!WantsState(listener->eventType, state)) {
      LogDebug("Listener not registered for Eventype %d\n", state);
    } else {
      deliveries.push_back(Delivery{listener->listenerName, listener->callback});
    }
  }
  return deliveries;
}

bool HasListeners() {
  NotificationState& notifications = Notifications();
  fh::MutexLock lock(&notifications.mutex);
  return !notifications.listeners.empty();
}

}  // namespace

void InitNotification() {
  NotificationState& notifications = Notifications();
  ListenerList dropped;
  fh::MutexLock lock(&notifications.mutex);
  dropped.swap(notifications.listeners);
}

bool AddNotificationListener(const char* listenerName, uint8_t eventType,
                             fh::NotificationCallback callback, bool isEnabled,
                             std::vector<std::string> tableNames) {
  LogTrace("In Add notification Listener\n");
  if (listenerName == nullptr || callback == nullptr) return false;
  NotificationState& notifications = Notifications();
  fh::MutexLock lock(&notifications.mutex);
  if (FindListener(notifications.listeners, listenerName) != notifications.listeners.end()) {
    LogError("Listener with same name exists %s\n", listenerName);
    return true;
  }
  std::unique_ptr<NotificationListener> listener;
  try {
    listener = std::make_unique<NotificationListener>();
    listener->listenerName = listenerName;
  } catch (const std::bad_alloc&) {
    LogError("Buffer Allocation is failed for listener!!!\n");
    return false;
  }
  std::sort(tableNames.begin(), tableNames.end(), LessIgnoringCase);
  listener->tableNames = std::move(tableNames);
  listener->isEnabled = isEnabled;
  listener->eventType = eventType;
  listener->callback = callback;
  try {
    notifications.listeners.push_back(std::move(listener));
  } catch (const std::bad_alloc&) {
    LogError("Buffer allocation is failed for nodePtr !!!\n");
    return false;
  }
  LogDebug("Listener with name %s added\n", listenerName);
  return true;
}

bool DisableNotification(const char* listenerName) {
  LogTrace("In Disable notification\n");
  NotificationState& notifications = Notifications();
  fh::MutexLock lock(&notifications.mutex);
  if (notifications.listeners.empty() || listenerName == nullptr) return false;
  auto found = FindListener(notifications.listeners, listenerName);
  if (found == notifications.listeners.end()) {
    LogError("Listener with name %s doesn't exists\n", listenerName);
    return false;
  }
  (*found)->isEnabled = false;
  LogDebug("Listener with name %s disabled\n", listenerName);
  return true;
}

bool RemoveNotification(const char* listenerName) {
  LogTrace("In Remove notification\n");
  NotificationState& notifications = Notifications();
  std::unique_ptr<NotificationListener> removed;
  {
    fh::MutexLock lock(&notifications.mutex);
    if (notifications.listeners.empty() || listenerName == nullptr) return false;
    auto found = FindListener(notifications.listeners, listenerName);
    if (found == notifications.listeners.end()) {
      LogError("Listener with name %s doesn't exists\n", listenerName);
      return false;
    }
    removed = std::move(*found);
    notifications.listeners.erase(found);
  }
  removed.reset();
  LogDebug("Listener with name %s removed\n", listenerName);
  return true;
}

std::unique_ptr<IMDSNotification> CreateIMDSNotification(const RowObject* row,
                                                         const char* tableName) {
  LogTrace("In CreateIMDSNotification \n");
  if (row == nullptr || tableName == nullptr || GetTableDataByName(tableName) == nullptr) {
    return nullptr;
  }
  try {
    auto notification = std::make_unique<IMDSNotification>();
    notification->tableName = tableName;
    notification->row = fh::CopyRowObject(*row);
    if (!notification->row) return nullptr;
    notification->timeStamp = GetCurrentKesDateTime();
    return notification;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool fh::HasNotificationListeners() { return HasListeners(); }

void SendNotification(const RowObject* row, const char* tableName) {
  LogTrace("In send notification\n");
  if (row == nullptr || tableName == nullptr || !HasListeners()) return;
  std::unique_ptr<IMDSNotification> notification = CreateIMDSNotification(row, tableName);
  if (!notification) return;
  std::vector<Delivery> deliveries;
  try {
    deliveries = ChooseListeners(tableName, row->state);
  } catch (const std::bad_alloc&) {
    return;
  }
  for (const Delivery& delivery : deliveries) {
    delivery.callback(notification.get(), delivery.listenerName.c_str());
  }
}

void DeInitNotification() {
  LogTrace("In DeInit notification\n");
  NotificationState& notifications = Notifications();
  ListenerList removed;
  {
    fh::MutexLock lock(&notifications.mutex);
    removed.swap(notifications.listeners);
  }
  for (std::unique_ptr<NotificationListener>& listener : removed) {
    LogTrace("Listener with name %s removed\n", listener->listenerName.c_str());
    listener.reset();
  }
}

bool IsListContains(const std::vector<std::string>& sortedNames, const char* name) {
  LogTrace("@@@ Inside IsListContains @@@\n");
  if (name != nullptr) {
    std::size_t low = 0;
    std::size_t high = sortedNames.size();
    while (low < high) {
      const std::size_t mid = low + (high - low) / 2;
      const int order = strcasecmp(sortedNames[mid].c_str(), name);
      if (order == 0) return true;
      if (order < 0) {
        low = mid + 1;
      } else {
        high = mid;
      }
    }
  }
  LogDebug("List doesn't contains key \n");
  return false;
}
