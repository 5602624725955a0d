#include "store/row_write.h"

#include <gtest/gtest.h>

#include "store/row_object.h"

namespace {

using fh::RowWrite;

constexpr uint8_t P = fh::kRowPersisted, N = fh::kRowNew, U = fh::kRowUpdated, D = fh::kRowDeleted;

// Every combination of the four flags, with the write a save makes and the
// state the row takes once that write succeeded.
struct StateCase {
  uint8_t state;
  RowWrite write;
  uint8_t after;
  bool insertedThenDeleted;
};

constexpr StateCase kCases[] = {
    {0, RowWrite::kNone, 0, false},
    {P, RowWrite::kNone, P, false},
    {N, RowWrite::kInsert, P, false},
    {P | N, RowWrite::kInvalid, P | N, false},
    {U, RowWrite::kInvalid, U, false},
    {P | U, RowWrite::kUpdate, P, false},
    {N | U, RowWrite::kInsert, P, false},
    {P | N | U, RowWrite::kInvalid, P | N | U, false},
    {D, RowWrite::kNone, D, false},
    {P | D, RowWrite::kDelete, D, false},
    {N | D, RowWrite::kNone, N | D, true},
    {P | N | D, RowWrite::kDelete, D, true},
    {U | D, RowWrite::kInvalid, U | D, false},
    {P | U | D, RowWrite::kDelete, D, false},
    {N | U | D, RowWrite::kNone, N | U | D, true},
    {P | N | U | D, RowWrite::kDelete, D, true},
};

TEST(RowWriteTest, EveryStateHasOneWriteAndOneStateAfterIt) {
  static_assert(std::size(kCases) == 16);
  for (const StateCase& c : kCases) {
    SCOPED_TRACE("state " + std::to_string(c.state));
    const RowWrite write = fh::WriteFor(c.state);
    EXPECT_EQ(write, c.write);
    EXPECT_EQ(fh::StateAfterWrite(write, c.state), c.after);
    EXPECT_EQ(fh::InsertedThenDeleted(c.state), c.insertedThenDeleted);
  }
}

}  // namespace
