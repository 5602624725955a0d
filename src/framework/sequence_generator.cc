#include "framework/sequence_generator.h"

#include "logging/log.h"

int32_t GenerateID(const char* /*tableName*/, const ColumnDefnEntry* column) {
  LogTrace("Inside GenerateID \n");
  if (column == nullptr || !column->generatorName) return -1;
  const char* key = column->generatorName->c_str();
  LogTrace("AutoId Key %s\n", key);
  // No sequence has been primed: every key is unknown.
  LogTrace("Cannot generate ID for key %s.\n", key);
  return -1;
}
