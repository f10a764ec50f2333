// How the guard reads the way its night ended: the program's own exits on a
// second stop request (128 + SIGHUP, SIGINT or SIGTERM) leave the mount where
// it is, as the observer asked; a night killed by a signal, or ended by a
// fault, is parked. A stopped process takes its pending signals highest
// first, so a real night shows only some of these as the second request.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "platform/night_guard.h"

namespace vantrel {
namespace {

TEST(GuardEnding, OnlyTheProgramsOwnWayOutOnASecondStopRequestIsOnPurpose) {
  const struct {
    int waitStatus, status;
    bool onPurpose;
  } rows[] = {{(128 + SIGHUP) << 8, 129, true}, {(128 + SIGINT) << 8, 130, true}, {(128 + SIGTERM) << 8, 143, true},
              {1 << 8, 1, false},  {(128 + SIGKILL) << 8, 137, false}, {SIGTERM, 143, false}};
  for (const auto& row : rows) {
    EXPECT_EQ(childEnding(row.waitStatus).status, row.status) << row.waitStatus;
    EXPECT_EQ(childEnding(row.waitStatus).leftOnPurpose, row.onPurpose) << row.waitStatus;
  }
}

}  // namespace
}  // namespace vantrel
