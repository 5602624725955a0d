// Fails chosen system calls for one scope, through the platform's system-call
// table (platform/system_calls.h), as leveldb's ErrorEnv or SQLite's
// aSyscall[] do:
//
//   fhtest::SystemCallFault full(fhtest::Call::kWrite, 2, ENOSPC);
//   // the second write() from here on fails with ENOSPC; all else is real
//   EXPECT_TRUE(full.fired());
//
// The real table is back when the object goes. Calls of the chosen kind are
// counted from any thread. One fault may be active at a time.
#pragma once

#include <string>

namespace fhtest {

enum class Call {
  kOpen,  // open(), also the truncating open of a file
  kClose,
  kRead,
  kWrite,  // write(): file copies, hive commits
  kFsync,
  kFlock,
  kStat,
  kMakeTemporary,  // mkostemp()
  kRename,         // rename() and the no-replace rename
  kUnlink,
  kMkdir,
  kOpendir,
  kFopen,
  kFwrite,  // the log's stream output
  kFflush,
};

class SystemCallFault {
 public:
  // Fails the nth call of kind (1: the next one) and the times - 1 calls of
  // that kind after it (times < 0: every one from the nth on) with errno
  // err. pathContains, when not empty, limits counting and failing to calls
  // that name a path containing it (calls on a descriptor then never fail).
  SystemCallFault(Call kind, int nth, int err, int times = 1, std::string pathContains = "");
  ~SystemCallFault();
  SystemCallFault(const SystemCallFault&) = delete;
  SystemCallFault& operator=(const SystemCallFault&) = delete;

  // Calls of kind counted so far, and how many of them were failed.
  int calls() const;
  int failures() const;
  bool fired() const { return failures() > 0; }
  // Stops failing (the disk has room again); the counts stay.
  void Heal();
};

}  // namespace fhtest
