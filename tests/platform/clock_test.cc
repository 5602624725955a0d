#include "platform/clock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <thread>

namespace {

TEST(Clock, LocalTimeAgreesWithTheCLibrary) {
  std::time_t before = std::time(nullptr);
  SYSTEMTIME now{};
  GetLocalTime(&now);
  std::time_t after = std::time(nullptr);

  std::tm fields{};
  fields.tm_year = now.wYear - 1900;
  fields.tm_mon = now.wMonth - 1;
  fields.tm_mday = now.wDay;
  fields.tm_hour = now.wHour;
  fields.tm_min = now.wMinute;
  fields.tm_sec = now.wSecond;
  fields.tm_isdst = -1;
  std::time_t shown = std::mktime(&fields);
  EXPECT_LE(before - 1, shown);
  EXPECT_LE(shown, after + 1);
  EXPECT_EQ(fields.tm_wday, now.wDayOfWeek);
  EXPECT_LT(now.wMilliseconds, 1000);
  GetLocalTime(nullptr);  // ignored
}

TEST(Clock, ThreadIdsAreLinuxThreadIds) {
  EXPECT_EQ(static_cast<DWORD>(getpid()), GetCurrentThreadId());  // the main thread
  DWORD other = 0;
  std::thread([&other] { other = GetCurrentThreadId(); }).join();
  EXPECT_NE(0u, other);
  EXPECT_NE(GetCurrentThreadId(), other);
}

TEST(Clock, SleepLastsAtLeastItsTime) {
  auto start = std::chrono::steady_clock::now();
  Sleep(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  Sleep(0);
}

}  // namespace
