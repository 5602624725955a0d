#include "store/row_write.h"

#include "store/row_object.h"

namespace fh {

RowWrite WriteFor(uint8_t state) {
  if ((state & kRowPersisted) != 0 && (state & kRowDeleted) != 0) return RowWrite::kDelete;
  switch (state) {
    case kRowPersisted | kRowUpdated:
      return RowWrite::kUpdate;
    case kRowNew:
    case kRowNew | kRowUpdated:
      return RowWrite::kInsert;
    case 0:
    case kRowPersisted:
    case kRowDeleted:
    case kRowNew | kRowDeleted:
    case kRowNew | kRowUpdated | kRowDeleted:
      return RowWrite::kNone;
    default:
      return RowWrite::kInvalid;
  }
}

uint8_t StateAfterWrite(RowWrite write, uint8_t state) {
  switch (write) {
    case RowWrite::kDelete:
      return kRowDeleted;
    case RowWrite::kInsert:
    case RowWrite::kUpdate:
      return kRowPersisted;
    case RowWrite::kNone:
    case RowWrite::kInvalid:
      break;
  }
  return state;
}

bool InsertedThenDeleted(uint8_t state) {
  return (state & kRowNew) != 0 && (state & kRowDeleted) != 0;
}

}  // namespace fh
