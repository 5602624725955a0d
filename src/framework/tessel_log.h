// The size limit of the framework log (<root>/logs/tessel.log by default):
// the agent log's rule (logging/rotation.h, logging/rotation_timer.h). When
// the log has reached kLogSizeThreshold (2000000) bytes it is rolled into
// numbered backups beside it (tessel1.log the newest, at most
// kLogKeepCount - 1 = 4 kept) and emptied in place; checked once when the
// framework starts and then every kLogRotationPeriodMs (15 minutes) while it
// runs.
//
// Thread safety: the check runs on a timer queue of its own while other
// threads log; the rotation holds the log's lock token while it copies and
// empties the live file, so no line is lost. Start and stop are for
// InitTessel and DeInitTessel.
#pragma once

namespace fh {

// Rotates the open framework log once when it has reached the threshold and
// arms the periodic check (replacing one armed before). false when no log is
// open or the timer cannot be armed (the log is still rotated).
bool StartFrameworkLogRotation();

// Stops the periodic check, waiting for a rotation that is running.
// Harmless when none was started.
void StopFrameworkLogRotation();

// One check: rotates the open log when it has reached the threshold.
void RotateFrameworkLogBySize();

}  // namespace fh
