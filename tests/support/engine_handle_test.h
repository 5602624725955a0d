// A fixture for tests of one engine's connection handle: before each test
// it opens a connection to the engine the test is instantiated with
// (entry_, handle_), and closes it after. A derived fixture adds its own
// set-up after EngineHandleTest::SetUp (returning when HasFatalFailure())
// and its own tear-down before EngineHandleTest::TearDown.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/conn_params.h"
#include "db/connection.h"
#include "support/db_engines.h"

namespace fhtest {

class EngineHandleTest : public DbTest, public testing::WithParamInterface<Engine> {
 protected:
  void SetUp() override {
    entry_ = MakeEngineEntry(GetParam(), dir_.path(), "TestDB");
    ASSERT_NE(entry_, nullptr);
    handle_ = OpenDBConnection(entry_.get());
    ASSERT_NE(handle_, nullptr) << log_.Messages();
  }
  void TearDown() override { CloseDBConnection(std::move(handle_)); }

  // ExecuteUpdate of text on handle (none: the fixture's own).
  int Run(const std::string& text, ConnectionHandle* handle = nullptr) {
    return ExecuteUpdate(handle != nullptr ? handle : handle_.get(), text.c_str());
  }

  std::unique_ptr<ConnParamsEntry> entry_;
  std::unique_ptr<ConnectionHandle> handle_;
};

}  // namespace fhtest
