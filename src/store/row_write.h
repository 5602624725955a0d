// What a save writes for a row, decided by the row's state flags
// (store/row_object.h): the one rule the table saver, the data object
// saver, the data object merge and the index tables share.
//
//   persisted and deleted (updated or not)      -> delete
//   persisted and updated                       -> update
//   new, or new and updated                     -> insert
//   nothing set, persisted only, deleted only
//   (already removed from the database), new
//   and deleted (made and dropped before any
//   save), new, updated and deleted             -> none
//   any other combination (new and persisted
//   together, updated alone, ...)               -> invalid: no write; a
//                                                  saver refuses the row
//
// Thread safety: pure functions.
#pragma once

#include <cstdint>

namespace fh {

enum class RowWrite : uint8_t { kNone, kInsert, kUpdate, kDelete, kInvalid };

// The write a save makes for a row in state, as in the table above.
RowWrite WriteFor(uint8_t state);

// The state a row takes once its write succeeded: deleted after a delete,
// persisted after an insert or an update; state itself for no write.
uint8_t StateAfterWrite(RowWrite write, uint8_t state);

// True for a row added and deleted again before any save (new and deleted
// set): it was never written and is not carried into another object.
bool InsertedThenDeleted(uint8_t state);

}  // namespace fh
