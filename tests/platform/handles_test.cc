#include "platform/handles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>

#include "platform/last_error.h"

namespace {

// Counts its own destruction.
class Probe : public fh::HandleObject {
 public:
  explicit Probe(int* destroyed) : destroyed_(destroyed) {}
  ~Probe() override { ++*destroyed_; }

 private:
  int* destroyed_;
};

class OtherKind : public fh::HandleObject {};

TEST(Handles, CloseRejectsValuesThatAreNotOpen) {
  HANDLE madeUp = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x123458));
  for (HANDLE bad : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, madeUp}) {
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(bad));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  }
}

TEST(Handles, CloseDestroysOnceAndOnlyOnce) {
  int destroyed = 0;
  HANDLE handle = fh::RegisterHandle(std::make_shared<Probe>(&destroyed));
  ASSERT_NE(nullptr, handle);
  EXPECT_NE(INVALID_HANDLE_VALUE, handle);
  EXPECT_NE(nullptr, fh::FindHandleAs<Probe>(handle));
  EXPECT_TRUE(CloseHandle(handle));
  EXPECT_EQ(1, destroyed);
  EXPECT_FALSE(CloseHandle(handle));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  EXPECT_EQ(nullptr, fh::FindHandle(handle));
  EXPECT_EQ(1, destroyed);
}

TEST(Handles, ObjectOutlivesCloseWhileInUse) {
  int destroyed = 0;
  HANDLE handle = fh::RegisterHandle(std::make_shared<Probe>(&destroyed));
  std::shared_ptr<Probe> inUse = fh::FindHandleAs<Probe>(handle);
  EXPECT_TRUE(CloseHandle(handle));
  EXPECT_EQ(0, destroyed);
  inUse.reset();
  EXPECT_EQ(1, destroyed);
}

TEST(Handles, TypedLookupAndRelease) {
  int destroyed = 0;
  HANDLE handle = fh::RegisterHandle(std::make_shared<Probe>(&destroyed));
  EXPECT_EQ(nullptr, fh::FindHandleAs<OtherKind>(handle));
  EXPECT_EQ(nullptr, fh::ReleaseHandleAs<OtherKind>(handle));
  EXPECT_NE(nullptr, fh::FindHandle(handle));  // still open
  EXPECT_NE(nullptr, fh::ReleaseHandleAs<Probe>(handle));
  EXPECT_EQ(1, destroyed);
  EXPECT_EQ(nullptr, fh::FindHandle(handle));
}

TEST(Handles, ValuesAreUniqueAndNeverReused) {
  std::set<HANDLE> seen;
  std::size_t before = fh::OpenHandleCount();
  for (int i = 0; i < 100; ++i) {
    HANDLE handle = fh::RegisterHandle(std::make_shared<OtherKind>());
    EXPECT_TRUE(seen.insert(handle).second);
    EXPECT_TRUE(seen.insert(fh::ReserveHandleValue()).second);
    CloseHandle(handle);
  }
  EXPECT_EQ(before, fh::OpenHandleCount());
  EXPECT_EQ(0u, seen.count(nullptr));
  EXPECT_EQ(0u, seen.count(INVALID_HANDLE_VALUE));
  EXPECT_EQ(nullptr, fh::RegisterHandle(nullptr));
  EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, GetLastError());
}

TEST(Handles, NotWaitableByDefault) {
  HANDLE handle = fh::RegisterHandle(std::make_shared<OtherKind>());
  std::shared_ptr<fh::HandleObject> object = fh::FindHandle(handle);
  EXPECT_EQ(WAIT_FAILED, object->Wait(0));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  CloseHandle(handle);
}

}  // namespace
